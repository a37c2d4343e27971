#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "platform/linux/window_services.h"
#include "platform/texts.h"

namespace linux_platform {

// Beside the desktop program in the build, in libexec once installed.
int run_headless_program(char **argv)
{
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string directory = length > 0 ? std::string(self, static_cast<std::size_t>(length)) : std::string();
    directory.erase(directory.find_last_of('/') + 1);
    const std::string installed = directory + "../libexec/quorvex/quorvex-headless";
    for (const std::string &program : {directory + "quorvex-headless", installed})
        if (access(program.c_str(), X_OK) == 0)
            execv(program.c_str(), argv);
    const int error = errno;
    std::fprintf(stderr, translated("quorvex: --headless: cannot run %s: %s\n"), installed.c_str(),
                 error == ENOENT ? translated("it is not installed") : std::strerror(error));
    return 1;
}

} // namespace linux_platform
