#include "platform/tuning/frontend/kernel.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tuning {

namespace {

class MachineKernel final : public Kernel {
public:
    std::vector<DirectoryEntry> entries(const std::string &directory) override
    {
        std::vector<DirectoryEntry> found;
        DIR *listing = opendir(directory.c_str());
        if (listing == nullptr)
            return found;
        while (const dirent *entry = readdir(listing))
            found.push_back({entry->d_name, entry->d_ino});
        closedir(listing);
        return found;
    }

    int open(const std::string &path, int flags) override
    {
        const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC);
        return descriptor >= 0 ? descriptor : -errno;
    }

    int ioctl(int descriptor, unsigned long request, void *argument) override
    {
        int result = 0;
        do
            result = ::ioctl(descriptor, request, argument);
        while (result < 0 && errno == EINTR);
        return result >= 0 ? 0 : -errno;
    }

    int close(int descriptor) override { return ::close(descriptor) == 0 ? 0 : -errno; }
};

MachineKernel machine;
Kernel *current = &machine;

} // namespace

Kernel &kernel() { return *current; }

void use_kernel(Kernel *replacement) { current = replacement != nullptr ? replacement : &machine; }

} // namespace tuning
