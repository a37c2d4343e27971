// The PT and PX tuners' character devices: which node names each driver registers, and what each
// node receives.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tuning {

struct ChardevFamily {
    std::string_view prefix; // the node's name before its number: "px4video"
    std::string_view driver; // "px4_drv"
    // Every node receives ISDB-T and ISDB-S, and is put in ISDB-T mode before it tunes; otherwise
    // the nodes come in fours per card or stick, two satellite (0, 1) and two terrestrial (2, 3).
    bool multi_system;
    int busy_error;     // what a second open gets: one program opens a tuner at a time
    int highest_number; // the driver's last terrestrial frequency number
    bool calibrated;    // false: the driver hands over too few of the C/N register's bits
};

struct Chardev {
    std::string path; // "/dev/px4video2"
    std::string name; // "px4video2"
    const ChardevFamily *family;
    bool terrestrial; // receives ISDB-T
};

// The node name's family and number, or nothing for a name no driver here registers.
std::optional<Chardev> chardev_named(std::string_view name);
// Every node under /dev, the families in a fixed order (pt3_drv, pt1_drv, px4_drv's), each
// family's nodes in numeric order.
std::vector<Chardev> chardevs();
// "px4video2 (px4_drv)"
std::string chardev_title(const Chardev &chardev);

} // namespace tuning
