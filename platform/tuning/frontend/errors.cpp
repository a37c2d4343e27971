#include "platform/tuning/frontend/errors.h"

#include <cerrno>

#include "platform/texts.h"

namespace tuning {

namespace {

const Result access_denied = static_cast<Result>(0x80070005);
const Result busy = static_cast<Result>(0x800700AA);
const Result failed = static_cast<Result>(0x80004005);

} // namespace

std::string reason(int error)
{
    switch (error) {
    case EACCES:
    case EPERM: return translated("permission denied: join the video group (adduser $USER video) and log in again");
    case EBUSY: return translated("busy: another program is tuning it");
    case EAGAIN: return translated("the driver is busy for the moment");
    case EINVAL: return translated("refused by the driver");
    case ENODEV:
    case ENXIO:
    case ENOENT:
    case EIO: return translated("the device has gone");
    default: return formatted(translated("error %d"), error);
    }
}

Result result_for(int error)
{
    switch (error) {
    case EACCES:
    case EPERM: return access_denied;
    case EBUSY: return busy;
    case EINVAL: return invalid_argument;
    case ENODEV:
    case EIO: return device_not_connected;
    default: return failed;
    }
}

} // namespace tuning
