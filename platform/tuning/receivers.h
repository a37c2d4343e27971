// The receivers of a Linux machine: the kernel's DVB frontends and the PT and PX tuners'
// character devices, found in one place, in one order.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace tuning {

// The receiver the program uses when none is named: the first frontend that lists ISDB-T (else
// DVB-T) within the adapter given, or among all; with no adapter given and no frontend, the first
// character device that receives ISDB-T. With none at all, no tuner, and a line for each
// satellite-only node passed over.
void use_first_receiver(std::optional<unsigned> adapter);
// The receiver at a path the user named: a frontend or a character device. "" once it is in use,
// else what is wrong with the path.
std::string use_receiver_at(const std::string &path);
// One tab-separated line per receiver: path, kind (frontend or chardev), name, delivery systems,
// and the programs that hold it now ("free", "unknown" or NAME:PID,...). False when the lines
// could not all be written.
bool list_receivers(std::FILE *out);

} // namespace tuning
