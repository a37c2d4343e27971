#include "platform/tuning/receivers.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/dvb/frontend.h>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

#include "platform/texts.h"
#include "platform/tuning/chardev/chardev_driver.h"
#include "platform/tuning/chardev/families.h"
#include "platform/tuning/frontend/discovery.h"
#include "platform/tuning/frontend/frontend_driver.h"
#include "platform/tuning/frontend/kernel.h"
#include "platform/tuning/model/decimal.h"

namespace tuning {

namespace {

// The kernel's delivery systems by number (enum fe_delivery_system), as users write them.
std::string system_name(std::uint32_t system)
{
    static const char *const names[] = {"undefined", "DVB-C",  "DVB-C/B", "DVB-T",  "DSS",    "DVB-S",   "DVB-S2",
                                        "DVB-H",     "ISDB-T", "ISDB-S",  "ISDB-C", "ATSC",   "ATSC-MH", "DTMB",
                                        "CMMB",      "DAB",    "DVB-T2",  "TURBO",  "DVB-C/C"};
    return system < std::size(names) ? names[system] : "system " + std::to_string(system);
}

std::string joined(const std::vector<std::string> &words)
{
    std::string text;
    for (const std::string &word : words)
        text += (text.empty() ? "" : ",") + word;
    return text;
}

// The adapter a frontend's path names: /dev/dvb/adapterN/frontendM.
std::optional<unsigned> adapter_of(const std::string &path)
{
    const std::string_view prefix = "/dev/dvb/adapter";
    std::uint64_t number = 0;
    if (!path.starts_with(prefix))
        return std::nullopt;
    const std::string_view rest = std::string_view(path).substr(prefix.size());
    if (!parse_decimal(rest.substr(0, rest.find('/')), 255, number))
        return std::nullopt;
    return static_cast<unsigned>(number);
}

// The programs with a descriptor open on the path, from /proc/*/fd: NAME:PID each; "free"; or
// "unknown" when none is seen and some process's descriptors are hidden from this user.
std::string holders(const std::string &path)
{
    std::vector<std::string> seen;
    bool hidden = false;
    const pid_t self = getpid();
    for (const DirectoryEntry &process : kernel().entries("/proc")) {
        std::uint64_t pid = 0;
        if (!parse_decimal(process.name, INT32_MAX, pid) || static_cast<pid_t>(pid) == self)
            continue;
        const std::string fd_directory = "/proc/" + process.name + "/fd";
        DIR *listing = opendir(fd_directory.c_str());
        if (listing == nullptr) {
            hidden = hidden || errno == EACCES || errno == EPERM;
            continue;
        }
        bool holds = false;
        while (const dirent *entry = readdir(listing)) {
            char target[4096];
            const std::string link = fd_directory + "/" + entry->d_name;
            const ssize_t length = readlink(link.c_str(), target, sizeof target);
            holds = holds || (length > 0 && std::string_view(target, static_cast<std::size_t>(length)) == path);
        }
        closedir(listing);
        if (holds) {
            std::string name;
            std::getline(std::ifstream("/proc/" + process.name + "/comm"), name);
            seen.push_back(name + ":" + process.name);
        }
    }
    if (!seen.empty())
        return joined(seen);
    return hidden ? "unknown" : "free";
}

std::string chardev_systems(const Chardev &chardev)
{
    if (chardev.family->multi_system)
        return "ISDB-T,ISDB-S";
    return chardev.terrestrial ? "ISDB-T" : "ISDB-S";
}

} // namespace

void use_first_receiver(std::optional<unsigned> adapter)
{
    std::optional<Frontend> frontend = find_frontend(adapter);
    if (frontend.has_value() || adapter.has_value()) {
        use_frontend(std::move(frontend), adapter);
        return;
    }
    const std::vector<Chardev> nodes = chardevs();
    const auto terrestrial = std::find_if(nodes.begin(), nodes.end(), [](const Chardev &c) { return c.terrestrial; });
    if (terrestrial != nodes.end()) {
        use_chardev(*terrestrial);
        return;
    }
    for (const Chardev &chardev : nodes)
        std::fprintf(stderr, translated("%s: satellite only (ISDB-S): passed over\n"), chardev.path.c_str());
    use_frontend(std::nullopt);
}

std::string use_receiver_at(const std::string &path)
{
    const std::string name = path.substr(path.rfind('/') + 1);
    if (std::optional<Chardev> chardev = chardev_named(name); chardev.has_value() && path == chardev->path) {
        if (!chardev->terrestrial)
            return formatted(translated("%s: satellite only (ISDB-S); Quorvex receives ISDB-T"), path.c_str());
        const std::vector<DirectoryEntry> nodes = kernel().entries("/dev");
        if (std::none_of(nodes.begin(), nodes.end(), [&](const DirectoryEntry &node) { return node.name == name; }))
            return formatted(translated("%s: no such node; is %s loaded?"), path.c_str(),
                             std::string(chardev->family->driver).c_str());
        use_chardev(std::move(*chardev));
        return "";
    }
    std::optional<Frontend> frontend = frontend_at(path);
    if (!frontend.has_value())
        return formatted(
            translated("%s: neither a DVB frontend that receives ISDB-T or DVB-T nor a PT or PX tuner's node"),
            path.c_str());
    use_frontend(std::move(frontend), adapter_of(path));
    return "";
}

bool list_receivers(std::FILE *out)
{
    std::vector<std::string> lines;
    for (const std::string &path : frontend_paths()) {
        const FrontendProbe probe = probe_frontend(path);
        std::vector<std::string> systems;
        for (const std::uint32_t system : probe.delivery_systems)
            systems.push_back(system_name(system));
        lines.push_back(path + "\tfrontend\t" + probe.name + "\t" + joined(systems) + "\t" + holders(path));
    }
    for (const Chardev &chardev : chardevs())
        lines.push_back(chardev.path + "\tchardev\t" + chardev_title(chardev) + "\t" + chardev_systems(chardev) + "\t" +
                        holders(chardev.path));
    for (const std::string &line : lines)
        if (std::fprintf(out, "%s\n", line.c_str()) < 0)
            return false;
    return std::fflush(out) == 0;
}

} // namespace tuning
