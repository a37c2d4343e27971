// Finding the receiver among the kernel's DVB frontends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/tuning/frontend/kernel.h"

namespace tuning {

struct Frontend {
    std::string path;              // "/dev/dvb/adapter0/frontend0"
    std::uint32_t delivery_system; // SYS_ISDBT or SYS_DVBT
    std::string name;              // what the kernel calls it (FE_GET_INFO); "" when it cannot be asked
};

// Walks /dev/dvb/adapterN/frontendM in numeric order, only adapter N when one is given. The first
// frontend that lists ISDB-T wins, else the first that lists DVB-T. A frontend the user may not
// open gets a line on standard error saying how to gain access, and is passed over.
std::optional<Frontend> find_frontend(std::optional<unsigned> adapter);
// Every frontend under /dev/dvb, adapters and frontends in numeric order.
std::vector<std::string> frontend_paths();
// What a frontend says of itself, asked read-only (a frontend admits any number of readers): the
// delivery systems it lists and its name; none when it cannot be asked, and a line on standard
// error when the user may not open it.
struct FrontendProbe {
    std::vector<std::uint32_t> delivery_systems;
    std::string name;
};
FrontendProbe probe_frontend(const std::string &path);
// The frontend at a path, when it lists ISDB-T or DVB-T.
std::optional<Frontend> frontend_at(const std::string &path);
// The adapters /dev/dvb holds now, only adapter N when one is given: one directory read. A device
// plugged in changes them, even under the name of one that went (its directory is made anew).
std::vector<DirectoryEntry> adapters(std::optional<unsigned> adapter);

} // namespace tuning
