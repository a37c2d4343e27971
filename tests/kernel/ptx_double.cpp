// Test double of a terrestrial node of the PT and PX character-device tuner drivers, run in user
// space as a CUSE device: /dev/NAME answering as px4_drv does. PTX_SET_CHANNEL takes px4_drv's
// ISDB-T frequency numbers and refuses others with EINVAL; PTX_GET_CNR copies out a raw C/N of 4
// bytes from a script; one open at a time; every other request gets ENOTTY. PTX_SET_SYSTEM_MODE
// carries its value in the argument itself, which CUSE's restricted ioctls cannot pass, so it is
// not offered.
//
//   ptx_double --name NAME --cnr FILE --record FILE [--busy-error EALREADY|EIO]
//     --cnr FILE         raw C/N values (the demodulator's CNDAT), one a line: each PTX_GET_CNR
//                        answers the next, the last one repeats
//     --record FILE      appends one line per event, flushed at once: open, busy (a second open
//                        refused), release, set_channel FREQ_NO SLOT, get_cnr VALUE
//     --busy-error NAME  what a second open gets: EALREADY (px4_drv, the default) or EIO (pt3_drv)
//
// Runs in the foreground, single-threaded, until a signal ends it. Exit codes: 0 ended by a
// signal, 1 CUSE could not start, 2 usage.
#define FUSE_USE_VERSION 31
#include <cuse_lowlevel.h>

#include <linux/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

struct ptx_freq {
    int freq_no;
    int slot;
};
constexpr unsigned PTX_SET_CHANNEL = _IOW(0x8d, 0x01, struct ptx_freq);
constexpr unsigned PTX_GET_CNR = _IOR(0x8d, 0x04, int *);

static std::vector<std::uint32_t> cnr_script;
static std::size_t cnr_read = 0;
static FILE *record = nullptr;
static int busy_error = EALREADY;
static bool opened = false;

static void note(const std::string &event)
{
    std::fprintf(record, "%s\n", event.c_str());
    std::fflush(record);
}

// CATV C13 to C22 are 3 to 12, C23 to C63 are 22 to 62, UHF 13 to 52 are 63 to 102.
static bool isdb_t_number(int freq_no) { return (freq_no >= 3 && freq_no <= 12) || (freq_no >= 22 && freq_no <= 102); }

static void ptx_open(fuse_req_t req, fuse_file_info *fi)
{
    if (opened) {
        note("busy");
        fuse_reply_err(req, busy_error);
        return;
    }
    opened = true;
    note("open");
    fuse_reply_open(req, fi);
}

static void ptx_release(fuse_req_t req, fuse_file_info *)
{
    opened = false;
    note("release");
    fuse_reply_err(req, 0);
}

// Restricted ioctls: the kernel has copied in, and copies out, what the request number's size says.
static void ptx_ioctl(fuse_req_t req, int cmd, void *, fuse_file_info *, unsigned, const void *in, size_t, size_t)
{
    switch (static_cast<unsigned>(cmd)) {
    case PTX_SET_CHANNEL: {
        ptx_freq freq;
        std::memcpy(&freq, in, sizeof freq);
        note("set_channel " + std::to_string(freq.freq_no) + " " + std::to_string(freq.slot));
        if (isdb_t_number(freq.freq_no))
            fuse_reply_ioctl(req, 0, nullptr, 0);
        else
            fuse_reply_err(req, EINVAL);
        return;
    }
    case PTX_GET_CNR: {
        // The driver copies a 32-bit value, not the pointer's 8 bytes the request number names.
        const std::uint32_t raw = cnr_script[std::min(cnr_read++, cnr_script.size() - 1)];
        note("get_cnr " + std::to_string(raw));
        fuse_reply_ioctl(req, 0, &raw, sizeof raw);
        return;
    }
    default: fuse_reply_err(req, ENOTTY);
    }
}

static bool read_script(const char *path)
{
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        std::size_t used = 0;
        try {
            cnr_script.push_back(static_cast<std::uint32_t>(std::stoul(line, &used)));
        } catch (const std::exception &) {
            return false;
        }
        if (used != line.size())
            return false;
    }
    return !cnr_script.empty();
}

static int usage(const char *why)
{
    std::fprintf(stderr,
                 "ptx_double: %s\nusage: ptx_double --name NAME --cnr FILE --record FILE "
                 "[--busy-error EALREADY|EIO]\n",
                 why);
    return 2;
}

int main(int argc, char **argv)
{
    std::string name;
    for (int i = 1; i < argc; i += 2) {
        const std::string option = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : "";
        if (option == "--name") {
            name = value;
        } else if (option == "--cnr") {
            if (!read_script(value))
                return usage("--cnr: one raw value a line, at least one");
        } else if (option == "--record") {
            if ((record = std::fopen(value, "a")) == nullptr)
                return usage("--record: cannot append to the file");
        } else if (option == "--busy-error") {
            busy_error = std::strcmp(value, "EIO") == 0 ? EIO : std::strcmp(value, "EALREADY") == 0 ? EALREADY : 0;
        } else {
            return usage(("unknown option " + option).c_str());
        }
    }
    if (name.empty() || cnr_script.empty() || record == nullptr || busy_error == 0)
        return usage("--name, --cnr and --record are needed; --busy-error is EALREADY or EIO");

    const std::string devname = "DEVNAME=" + name;
    const char *device_info[] = {devname.c_str()};
    cuse_info info{};
    info.dev_info_argc = 1;
    info.dev_info_argv = device_info;
    cuse_lowlevel_ops operations{};
    operations.open = ptx_open;
    operations.release = ptx_release;
    operations.ioctl = ptx_ioctl;
    char foreground[] = "-f";
    char single_threaded[] = "-s";
    char *cuse_argv[] = {argv[0], foreground, single_threaded, nullptr};
    return cuse_lowlevel_main(3, cuse_argv, &info, &operations, nullptr) == 0 ? 0 : 1;
}
