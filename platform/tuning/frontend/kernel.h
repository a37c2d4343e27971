// The kernel calls the frontend driver makes, behind one seam, so that tests can put a fake
// frontend there and never touch the machine's own devices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tuning {

struct DirectoryEntry {
    std::string name;
    std::uint64_t inode; // a directory made anew has a new one, though its name is the same
    bool operator==(const DirectoryEntry &) const = default;
};

class Kernel {
public:
    Kernel() = default;
    Kernel(const Kernel &) = delete;
    Kernel &operator=(const Kernel &) = delete;
    virtual ~Kernel() = default;

    // The entries of a directory, in no particular order; none when it cannot be read.
    virtual std::vector<DirectoryEntry> entries(const std::string &directory) = 0;
    // A descriptor, or minus the error number.
    virtual int open(const std::string &path, int flags) = 0;
    // 0, or minus the error number.
    virtual int ioctl(int descriptor, unsigned long request, void *argument) = 0;
    virtual int close(int descriptor) = 0;
};

Kernel &kernel();
// The kernel the frontend driver calls from now on; null: the machine's own.
void use_kernel(Kernel *replacement);

} // namespace tuning
