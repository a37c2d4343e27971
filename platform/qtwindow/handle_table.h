// Handles are numbers, as on Windows: a stale or foreign handle is found missing, never followed.
#pragma once

#include <cstdint>
#include <map>

namespace qtwindow {

template <class Handle, class Object> class HandleTable {
public:
    // Numbers start at first and are never reused, so a handle outlives nothing it named.
    explicit HandleTable(std::uintptr_t first) : next_(first) {}

    template <class Make> Handle add(Make make)
    {
        const auto handle = reinterpret_cast<Handle>(next_++);
        objects_.emplace(handle, make(handle));
        return handle;
    }

    Object *find(Handle handle)
    {
        const auto found = objects_.find(handle);
        return found == objects_.end() ? nullptr : &found->second;
    }

    bool erase(Handle handle) { return objects_.erase(handle) != 0; }

    // In creation order, as the numbers grow.
    auto begin() { return objects_.begin(); }
    auto end() { return objects_.end(); }

private:
    std::map<Handle, Object> objects_;
    std::uintptr_t next_;
};

} // namespace qtwindow
