#include "platform/tuning/chardev/families.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/tuning/frontend/kernel.h"
#include "platform/tuning/model/decimal.h"

namespace tuning {

namespace {

// From the drivers' sources: pt3_drv's frequency table ends at number 111 (UHF 61), pt1_drv's at
// 112 (UHF 62), px4_drv tunes 63 to 102 (UHF 13 to 52). pt1_drv reads two of the three bytes
// of the demodulator's C/N register, so its figure wraps below about 20 dB.
const ChardevFamily families[] = {
    {"pt3video", "pt3_drv", false, EIO, 111, true},          {"pt1video", "pt1_drv", false, EIO, 112, false},
    {"px4video", "px4_drv", false, EALREADY, 102, true},     {"pxmlt5video", "px4_drv", true, EALREADY, 102, true},
    {"pxmlt8video", "px4_drv", true, EALREADY, 102, true},   {"isdb2056video", "px4_drv", true, EALREADY, 102, true},
    {"isdb6014video", "px4_drv", true, EALREADY, 102, true},
};

const std::string device_root = "/dev";

} // namespace

std::optional<Chardev> chardev_named(std::string_view name)
{
    for (const ChardevFamily &family : families) {
        std::uint64_t number = 0;
        if (!name.starts_with(family.prefix) || !parse_decimal(name.substr(family.prefix.size()), INT_MAX, number))
            continue;
        const bool terrestrial = family.multi_system || number % 4 >= 2;
        return Chardev{device_root + "/" + std::string(name), std::string(name), &family, terrestrial};
    }
    return std::nullopt;
}

std::vector<Chardev> chardevs()
{
    std::vector<std::pair<std::uint64_t, Chardev>> found;
    for (const DirectoryEntry &entry : kernel().entries(device_root))
        if (std::optional<Chardev> chardev = chardev_named(entry.name)) {
            std::uint64_t number = 0;
            parse_decimal(std::string_view(entry.name).substr(chardev->family->prefix.size()), INT_MAX, number);
            found.emplace_back(number, std::move(*chardev));
        }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
        return a.second.family != b.second.family ? a.second.family < b.second.family : a.first < b.first;
    });
    std::vector<Chardev> nodes;
    nodes.reserve(found.size());
    for (auto &[number, chardev] : found)
        nodes.push_back(std::move(chardev));
    return nodes;
}

std::string chardev_title(const Chardev &chardev)
{
    return chardev.name + " (" + std::string(chardev.family->driver) + ")";
}

} // namespace tuning
