// What watches the platform while a test (or the Wine fixture) runs it: every call on the runtime
// and on its objects, the objects' references, and answers put in place of the driver's. The
// installed program has no observer, so its calls pay one test of a pointer for all of this.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/tuning/model/exchange.h"

namespace tuning {

class Observer {
public:
    Observer() = default;
    Observer(const Observer &) = delete;
    Observer &operator=(const Observer &) = delete;
    virtual ~Observer() = default;

    // A call, with its argument as the call log names it: the result a test injects for it, or 0.
    // A call on an object (not on the runtime) after the last CoUninitialize is counted as a fault.
    virtual Result call(std::string_view op, const std::string &arg, bool on_object) = 0;
    // A new object holding one reference. An object whose last reference goes stays as a zombie
    // until free is called, so that a further Release is counted rather than undefined.
    virtual int track(const char *kind, std::function<void()> free) = 0;
    virtual long add_ref(int id) = 0;
    // The references left; -1 when there were none (an over-release, counted).
    virtual long release(int id) = 0;
    // An answer a test put in place of the driver's for a selector, or none.
    virtual const PropertyAnswer *forced_answer(std::uint32_t selector) = 0;
};

extern Observer *observer; // null in the installed program

// A call on an object; describe names its argument and runs only when something watches.
template <typename Describe> Result observe(std::string_view op, Describe describe)
{
    return observer != nullptr ? observer->call(op, describe(), true) : 0;
}
inline Result observe(std::string_view op) { return observer != nullptr ? observer->call(op, {}, true) : 0; }
// The same for a call on the COM runtime itself, which needs no apartment.
template <typename Describe> Result observe_runtime(std::string_view op, Describe describe)
{
    return observer != nullptr ? observer->call(op, describe(), false) : 0;
}
inline Result observe_runtime(std::string_view op) { return observer != nullptr ? observer->call(op, {}, false) : 0; }

} // namespace tuning
