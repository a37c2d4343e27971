#include "platform/tuning/frontend/discovery.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <linux/dvb/frontend.h>
#include <string_view>
#include <sys/ioctl.h>
#include <vector>

#include "platform/tuning/frontend/errors.h"
#include "platform/tuning/frontend/kernel.h"
#include "platform/tuning/model/decimal.h"

namespace tuning {

namespace {

const std::string dvb_root = "/dev/dvb";

struct Entry {
    std::uint64_t number;
    DirectoryEntry entry;
};

// The entries named prefix followed by a decimal number, in the numbers' order.
std::vector<Entry> numbered(const std::string &directory, std::string_view prefix)
{
    std::vector<Entry> found;
    for (DirectoryEntry &entry : kernel().entries(directory)) {
        std::uint64_t number = 0;
        const std::string_view view = entry.name;
        if (view.starts_with(prefix) && parse_decimal(view.substr(prefix.size()), UINT_MAX, number))
            found.push_back({number, std::move(entry)});
    }
    std::sort(found.begin(), found.end(), [](const Entry &a, const Entry &b) { return a.number < b.number; });
    return found;
}

// The delivery systems a frontend lists; none when it cannot be asked.
std::vector<std::uint32_t> delivery_systems(const std::string &path)
{
    const int descriptor = kernel().open(path, O_RDONLY | O_NONBLOCK);
    if (descriptor < 0) {
        if (-descriptor == EACCES || -descriptor == EPERM)
            std::fprintf(stderr, "%s: %s\n", path.c_str(), reason(-descriptor).c_str());
        return {};
    }
    dtv_property property{};
    property.cmd = DTV_ENUM_DELSYS;
    dtv_properties request{1, &property};
    const int failed = kernel().ioctl(descriptor, FE_GET_PROPERTY, &request);
    kernel().close(descriptor);
    if (failed != 0)
        return {};
    const std::uint32_t count = std::min<std::uint32_t>(property.u.buffer.len, sizeof property.u.buffer.data);
    return {property.u.buffer.data, property.u.buffer.data + count};
}

bool lists(const std::vector<std::uint32_t> &systems, std::uint32_t system)
{
    return std::find(systems.begin(), systems.end(), system) != systems.end();
}

} // namespace

std::optional<Frontend> find_frontend(std::optional<unsigned> adapter)
{
    std::optional<Frontend> dvbt;
    for (const Entry &adapter_entry : numbered(dvb_root, "adapter")) {
        if (adapter.has_value() && adapter_entry.number != *adapter)
            continue;
        const std::string directory = dvb_root + "/" + adapter_entry.entry.name;
        for (const Entry &frontend_entry : numbered(directory, "frontend")) {
            const std::string path = directory + "/" + frontend_entry.entry.name;
            const std::vector<std::uint32_t> systems = delivery_systems(path);
            if (lists(systems, SYS_ISDBT))
                return Frontend{path, SYS_ISDBT};
            if (!dvbt.has_value() && lists(systems, SYS_DVBT))
                dvbt = Frontend{path, SYS_DVBT};
        }
    }
    return dvbt;
}

std::vector<DirectoryEntry> adapters(std::optional<unsigned> adapter)
{
    std::vector<DirectoryEntry> found;
    for (Entry &adapter_entry : numbered(dvb_root, "adapter"))
        if (!adapter.has_value() || adapter_entry.number == *adapter)
            found.push_back(std::move(adapter_entry.entry));
    return found;
}

} // namespace tuning
