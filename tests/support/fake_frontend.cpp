#include "support/fake_frontend.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>

namespace {

// Outside a FakeKernel the seam finds nothing at all.
class NoDevices final : public tuning::Kernel {
public:
    std::vector<tuning::DirectoryEntry> entries(const std::string &) override { return {}; }
    int open(const std::string &, int) override { return -ENOENT; }
    int ioctl(int, unsigned long, void *) override { return -EBADF; }
    int close(int) override { return -EBADF; }
};

NoDevices no_devices;
[[maybe_unused]] const bool guarded = [] {
    tuning::use_kernel(&no_devices);
    return true;
}();

dtv_fe_stats one(std::uint8_t scale)
{
    dtv_fe_stats stats{};
    stats.len = 1;
    stats.stat[0].scale = scale;
    return stats;
}

std::string parent_of(const std::string &path) { return path.substr(0, path.rfind('/')); }
std::string name_of(const std::string &path) { return path.substr(path.rfind('/') + 1); }

// "", or " = EBUSY" for a call that failed with EBUSY.
std::string outcome(int result) { return result < 0 ? std::string(" = ") + strerrorname_np(-result) : ""; }

std::string request_name(unsigned long request, const void *argument)
{
    switch (request) {
    case FE_READ_STATUS: return "FE_READ_STATUS";
    case FE_GET_INFO: return "FE_GET_INFO";
    case FE_GET_PROPERTY: return "FE_GET_PROPERTY";
    case FE_SET_PROPERTY: {
        const auto &properties = *static_cast<const dtv_properties *>(argument);
        for (std::uint32_t i = 0; i < properties.num; ++i)
            if (properties.props[i].cmd == DTV_FREQUENCY)
                return "FE_SET_PROPERTY " + std::to_string(properties.props[i].u.data) + " Hz";
        return "FE_SET_PROPERTY";
    }
    default: return "ioctl " + std::to_string(request);
    }
}

bool is_statistic(std::uint32_t command)
{
    return command >= DTV_STAT_SIGNAL_STRENGTH && command <= DTV_STAT_TOTAL_BLOCK_COUNT;
}

} // namespace

dtv_fe_stats decibels(std::int64_t millidecibels)
{
    dtv_fe_stats stats = one(FE_SCALE_DECIBEL);
    stats.stat[0].svalue = millidecibels;
    return stats;
}

dtv_fe_stats counter(std::uint64_t count)
{
    dtv_fe_stats stats = one(FE_SCALE_COUNTER);
    stats.stat[0].uvalue = count;
    return stats;
}

dtv_fe_stats not_available() { return one(FE_SCALE_NOT_AVAILABLE); }

dtv_fe_stats not_offered() { return dtv_fe_stats{}; }

void FakeFrontend::count(std::uint64_t errors, std::uint64_t total)
{
    post_errors = counter(errors);
    post_total = counter(total);
}

void FakeFrontend::restart_counters()
{
    for (dtv_fe_stats *stats : {&post_errors, &post_total, &pre_errors, &pre_total})
        if (stats->len >= 1 && stats->stat[0].scale == FE_SCALE_COUNTER)
            stats->stat[0].uvalue = 0;
}

Properties tune_to(std::uint32_t delivery_system, std::uint32_t frequency_hz)
{
    return {{DTV_CLEAR, 0},
            {DTV_DELIVERY_SYSTEM, delivery_system},
            {DTV_FREQUENCY, frequency_hz},
            {DTV_BANDWIDTH_HZ, 6000000},
            {DTV_TUNE, 0}};
}

FakeKernel::FakeKernel() { tuning::use_kernel(this); }

FakeKernel::~FakeKernel() { tuning::use_kernel(&no_devices); }

FakeFrontend &FakeKernel::add(const std::string &path, std::vector<std::uint32_t> delivery_systems)
{
    if (devices_.count(path) == 0)
        devices_[path] = next_device_++;
    if (directories_.count(parent_of(path)) == 0)
        directories_[parent_of(path)] = next_inode_++;
    FakeFrontend &node = nodes_[path];
    node.delivery_systems = std::move(delivery_systems);
    return node;
}

FakeFrontend &FakeKernel::frontend(const std::string &path) { return nodes_.at(path); }

void FakeKernel::remove(const std::string &path)
{
    nodes_.erase(path);
    devices_.erase(path);
    const std::string adapter = parent_of(path);
    if (std::none_of(nodes_.begin(), nodes_.end(), [&](const auto &node) { return parent_of(node.first) == adapter; }))
        directories_.erase(adapter);
}

int FakeKernel::hold(const std::string &path, std::uint32_t delivery_system, std::uint32_t frequency_hz)
{
    const int descriptor = open(path, O_RDWR);
    retune(descriptor, delivery_system, frequency_hz);
    return descriptor;
}

void FakeKernel::retune(int descriptor, std::uint32_t delivery_system, std::uint32_t frequency_hz)
{
    dtv_property properties[3] = {};
    properties[0].cmd = DTV_DELIVERY_SYSTEM;
    properties[0].u.data = delivery_system;
    properties[1].cmd = DTV_FREQUENCY;
    properties[1].u.data = frequency_hz;
    properties[2].cmd = DTV_TUNE;
    dtv_properties request{3, properties};
    ioctl(descriptor, FE_SET_PROPERTY, &request);
}

std::vector<tuning::DirectoryEntry> FakeKernel::entries(const std::string &directory)
{
    ++directory_reads_;
    if (journaling_)
        journal_.push_back("readdir " + directory);
    std::vector<tuning::DirectoryEntry> found;
    auto add_once = [&](const std::string &name, std::uint64_t inode) {
        if (std::none_of(found.begin(), found.end(), [&](const tuning::DirectoryEntry &e) { return e.name == name; }))
            found.push_back({name, inode});
    };
    for (const auto &[path, node] : nodes_) {
        const std::string adapter = parent_of(path);
        if (adapter == directory) {
            const auto device = static_cast<std::uint64_t>(devices_.at(path));
            add_once(name_of(path), device);
            add_once("demux" + name_of(path).substr(8), device);
            add_once("dvr" + name_of(path).substr(8), device);
        } else if (parent_of(adapter) == directory) {
            add_once(name_of(adapter), directories_.at(adapter));
        }
    }
    if (!found.empty()) {
        found.insert(found.begin(), {"..", 1});
        found.insert(found.begin(), {".", 2});
    }
    return found;
}

int FakeKernel::open(const std::string &path, int flags)
{
    const int result = open_node(path, flags);
    if (journaling_)
        journal_.push_back(std::string((flags & O_ACCMODE) == O_RDWR ? "open(O_RDWR" : "open(O_RDONLY") +
                           ((flags & O_NONBLOCK) != 0 ? "|O_NONBLOCK)" : ")") + outcome(result));
    return result;
}

int FakeKernel::open_node(const std::string &path, int flags)
{
    const auto found = nodes_.find(path);
    if (found == nodes_.end())
        return -ENOENT;
    FakeFrontend &node = found->second;
    if (!node.permitted)
        return -EACCES;
    if (node.failure == ENODEV)
        return -ENODEV;
    const bool writes = (flags & O_ACCMODE) == O_RDWR;
    if (writes)
        for (const auto &[descriptor, opened] : open_)
            if (opened.path == path && opened.writes && opened.device == devices_.at(path))
                return -EBUSY;
    open_flags_.push_back(flags);
    open_[next_descriptor_] = {path, writes, devices_.at(path)};
    return next_descriptor_++;
}

int FakeKernel::ioctl(int descriptor, unsigned long request, void *argument)
{
    const int result = call(descriptor, request, argument);
    if (journaling_)
        journal_.push_back(request_name(request, argument) + outcome(result));
    return result;
}

int FakeKernel::call(int descriptor, unsigned long request, void *argument)
{
    ++ioctls_;
    const auto found = open_.find(descriptor);
    if (found == open_.end())
        return -EBADF;
    const auto device = devices_.find(found->second.path);
    if (device == devices_.end() || device->second != found->second.device)
        return -ENODEV; // unplugged, and perhaps plugged in again since: another device
    // The kernel's rule for a read-only descriptor: queries only, nothing that could disturb the
    // program tuning the frontend.
    if (!found->second.writes &&
        (_IOC_DIR(request) != _IOC_READ || request == FE_GET_EVENT || request == FE_DISEQC_RECV_SLAVE_REPLY)) {
        ++refusals_;
        return -EPERM;
    }
    FakeFrontend &node = nodes_.at(found->second.path);
    if (node.failure != 0)
        return -node.failure;
    switch (request) {
    case FE_READ_STATUS:
        if (node.status_failure != 0)
            return -node.status_failure;
        *static_cast<fe_status_t *>(argument) = static_cast<fe_status_t>(node.status);
        return 0;
    case FE_GET_PROPERTY: return get_property(node, *static_cast<dtv_properties *>(argument));
    case FE_SET_PROPERTY: return set_property(node, *static_cast<dtv_properties *>(argument));
    case FE_GET_INFO: {
        auto *info = static_cast<dvb_frontend_info *>(argument);
        *info = {};
        std::strncpy(info->name, node.name.c_str(), sizeof info->name - 1);
        return 0;
    }
    default: return -ENOTTY;
    }
}

int FakeKernel::get_property(FakeFrontend &node, dtv_properties &request)
{
    if (request.num == 0 || request.num > DTV_IOCTL_MAX_MSGS)
        return -EINVAL;
    for (std::uint32_t i = 0; i < request.num; ++i) {
        dtv_property &property = request.props[i];
        if (is_statistic(property.cmd) && node.statistics_failure != 0)
            return -node.statistics_failure;
        switch (property.cmd) {
        case DTV_ENUM_DELSYS:
            property.u.buffer.len = static_cast<std::uint32_t>(node.delivery_systems.size());
            for (std::size_t s = 0; s < node.delivery_systems.size(); ++s)
                property.u.buffer.data[s] = static_cast<std::uint8_t>(node.delivery_systems[s]);
            break;
        case DTV_FREQUENCY: property.u.data = node.frequency; break;
        case DTV_DELIVERY_SYSTEM: property.u.data = node.system; break;
        case DTV_STAT_CNR: property.u.st = node.cnr; break;
        case DTV_STAT_POST_ERROR_BIT_COUNT: property.u.st = node.post_errors; break;
        case DTV_STAT_POST_TOTAL_BIT_COUNT: property.u.st = node.post_total; break;
        case DTV_STAT_PRE_ERROR_BIT_COUNT: property.u.st = node.pre_errors; break;
        case DTV_STAT_PRE_TOTAL_BIT_COUNT: property.u.st = node.pre_total; break;
        default:
            if (property.cmd >= DTV_ISDBT_PARTIAL_RECEPTION && property.cmd <= DTV_ISDBT_LAYERC_TIME_INTERLEAVING) {
                property.u.data = node.parameters[property.cmd];
                break;
            }
            if (!is_statistic(property.cmd))
                return -EINVAL;
            property.u.st = not_offered();
        }
    }
    return 0;
}

int FakeKernel::set_property(FakeFrontend &node, const dtv_properties &request)
{
    if (request.num == 0 || request.num > DTV_IOCTL_MAX_MSGS)
        return -EINVAL;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> &recorded = node.set_properties.emplace_back();
    for (std::uint32_t i = 0; i < request.num; ++i)
        recorded.emplace_back(std::uint32_t{request.props[i].cmd}, std::uint32_t{request.props[i].u.data});
    if (node.tune_failure != 0)
        return -node.tune_failure;
    std::uint32_t system = 0;
    std::uint32_t frequency = 0;
    for (const auto &[command, value] : recorded) {
        switch (command) {
        case DTV_CLEAR: system = frequency = 0; break;
        case DTV_DELIVERY_SYSTEM:
            if (std::find(node.delivery_systems.begin(), node.delivery_systems.end(), value) ==
                node.delivery_systems.end())
                return -EINVAL;
            system = value;
            break;
        case DTV_FREQUENCY: frequency = value; break;
        case DTV_BANDWIDTH_HZ: break;
        case DTV_TUNE:
            if (system == 0 || frequency < node.lowest_hz || frequency > node.highest_hz)
                return -EINVAL;
            node.frequency = frequency;
            node.system = system;
            node.restart_counters();
            break;
        default: return -EINVAL;
        }
    }
    return 0;
}

int FakeKernel::close(int descriptor)
{
    const int result = open_.erase(descriptor) != 0 ? 0 : -EBADF;
    if (journaling_)
        journal_.push_back("close" + outcome(result));
    return result;
}

std::vector<std::pair<int, bool>> FakeKernel::descriptors() const
{
    std::vector<std::pair<int, bool>> found;
    for (const auto &[descriptor, opened] : open_)
        found.emplace_back(descriptor, opened.writes);
    return found;
}

void FakeKernel::start_journal()
{
    journaling_ = true;
    journal_.clear();
}
