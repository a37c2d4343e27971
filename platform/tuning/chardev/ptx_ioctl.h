// The requests of the PT and PX character-device tuner drivers (pt1_drv, pt3_drv, px4_drv), as
// their public headers define them: pt1_ioctl.h, pt3_ioctl.h and px4_drv's ptx_ioctl.h.
#pragma once

#include <linux/ioctl.h>

namespace tuning {

// PTX_SET_CHANNEL (SET_CHANNEL in the PT drivers): a frequency number of the driver's own table;
// slot is a satellite's TS slot, or kHz added to a terrestrial frequency.
struct PtxFrequency {
    int number;
    int slot;
};

const unsigned long ptx_set_channel = _IOW(0x8d, 0x01, PtxFrequency);
// PTX_GET_CNR (GET_SIGNAL_STRENGTH): declared with a pointer's size, the driver writes 32 bits.
const unsigned long ptx_get_cnr = _IOR(0x8d, 0x04, int *);
// px4_drv only: the system a multi-system tuner receives, passed as the argument's value.
const unsigned long ptx_set_system_mode = _IOW(0x8d, 0x0b, int);
const unsigned long ptx_isdb_t_system = 0x10;

} // namespace tuning
