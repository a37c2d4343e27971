#include "platform/tuning/frontend/discovery.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
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

bool lists(const std::vector<std::uint32_t> &systems, std::uint32_t system)
{
    return std::find(systems.begin(), systems.end(), system) != systems.end();
}

// The frontends under one adapter directory, in numeric order.
std::vector<std::string> frontends_in(const Entry &adapter_entry)
{
    std::vector<std::string> paths;
    const std::string directory = dvb_root + "/" + adapter_entry.entry.name;
    for (const Entry &frontend_entry : numbered(directory, "frontend"))
        paths.push_back(directory + "/" + frontend_entry.entry.name);
    return paths;
}

std::optional<Frontend> suitable(const std::string &path, const FrontendProbe &probe)
{
    if (lists(probe.delivery_systems, SYS_ISDBT))
        return Frontend{path, SYS_ISDBT, probe.name};
    if (lists(probe.delivery_systems, SYS_DVBT))
        return Frontend{path, SYS_DVBT, probe.name};
    return std::nullopt;
}

} // namespace

FrontendProbe probe_frontend(const std::string &path)
{
    FrontendProbe probe;
    const int descriptor = kernel().open(path, O_RDONLY | O_NONBLOCK);
    if (descriptor < 0) {
        if (-descriptor == EACCES || -descriptor == EPERM)
            std::fprintf(stderr, "%s: %s\n", path.c_str(), reason(-descriptor).c_str());
        return probe;
    }
    dtv_property property{};
    property.cmd = DTV_ENUM_DELSYS;
    dtv_properties request{1, &property};
    if (kernel().ioctl(descriptor, FE_GET_PROPERTY, &request) == 0) {
        const std::uint32_t count = std::min<std::uint32_t>(property.u.buffer.len, sizeof property.u.buffer.data);
        probe.delivery_systems.assign(property.u.buffer.data, property.u.buffer.data + count);
    }
    dvb_frontend_info info{};
    if (!probe.delivery_systems.empty() && kernel().ioctl(descriptor, FE_GET_INFO, &info) == 0)
        probe.name.assign(info.name, strnlen(info.name, sizeof info.name));
    kernel().close(descriptor);
    return probe;
}

std::vector<std::string> frontend_paths()
{
    std::vector<std::string> paths;
    for (const Entry &adapter_entry : numbered(dvb_root, "adapter"))
        for (std::string &path : frontends_in(adapter_entry))
            paths.push_back(std::move(path));
    return paths;
}

std::optional<Frontend> frontend_at(const std::string &path) { return suitable(path, probe_frontend(path)); }

std::optional<Frontend> find_frontend(std::optional<unsigned> adapter)
{
    std::optional<Frontend> dvbt;
    for (const Entry &adapter_entry : numbered(dvb_root, "adapter")) {
        if (adapter.has_value() && adapter_entry.number != *adapter)
            continue;
        for (const std::string &path : frontends_in(adapter_entry)) {
            std::optional<Frontend> found = suitable(path, probe_frontend(path));
            if (found.has_value() && found->delivery_system == SYS_ISDBT)
                return found;
            if (!dvbt.has_value())
                dvbt = std::move(found);
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
