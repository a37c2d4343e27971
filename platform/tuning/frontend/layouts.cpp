#include "platform/tuning/frontend/layouts.h"

#include <string_view>

namespace tuning {

namespace {

// How a driver fills the per-layer entries (drivers/media/dvb-frontends/ and common/siano/):
//   api          mb86a20s; smsdvb (BER and PER at 1 + its firmware's layer, none for a single
//                13-segment layer); dib8000 (per-layer error counts, blocks only for the whole)
//   layers_first tc90522: the first len entries are layers A, B, ..., no whole entry, and they are
//                register snapshots, not counters that rise: left out
//   whole_only   mn88443x, cxd2841er and its kin: the whole channel only
enum class Layout { api, layers_first, whole_only };

struct Known {
    std::string_view name;
    Layout layout;
};
const Known known[] = {
    {"Fujitsu mb86A20s", Layout::api},
    {"Siano Mobile Digital MDTV Receiver", Layout::api},
    {"DiBcom 8000 ISDB-T", Layout::api},
    {"Toshiba TC90522 ISDB-T module", Layout::layers_first},
    {"Socionext MN88443x", Layout::whole_only},
    {"Sony CXD2841ER DVB-T/T2/C demodulator", Layout::whole_only},
    {"Sony CXD2854ER DVB-T/T2/C/ISDB-T demodulator", Layout::whole_only},
};

dtv_fe_stats *layered(Statistics &statistics, int index)
{
    dtv_fe_stats *const all[] = {&statistics.cnr,         &statistics.post_errors, &statistics.post_total,
                                 &statistics.pre_errors,  &statistics.pre_total,   &statistics.error_blocks,
                                 &statistics.total_blocks};
    return index < static_cast<int>(std::size(all)) ? all[index] : nullptr;
}

void whole_only(dtv_fe_stats &statistic)
{
    if (statistic.len > 1)
        statistic.len = 1;
}

// The layers' entries match the parameters: four entries, each layer's given exactly when it is in
// use.
bool agrees(const dtv_fe_stats &statistic, const IsdbtParameters &parameters)
{
    if (statistic.len != 4)
        return false;
    for (int layer = 0; layer < 3; ++layer) {
        const bool given = statistic.stat[layer + 1].scale != FE_SCALE_NOT_AVAILABLE;
        const std::uint32_t segments = parameters.layers[layer].segments;
        if (given != (segments >= 1 && segments <= 13))
            return false;
    }
    return true;
}

} // namespace

Statistics in_api_layout(const Statistics &statistics, const std::string &driver_name,
                         const IsdbtParameters &parameters)
{
    Statistics laid = statistics;
    const Known *listed = nullptr;
    for (const Known &driver : known)
        if (driver.name == driver_name)
            listed = &driver;
    for (int i = 0; dtv_fe_stats *statistic = layered(laid, i); ++i) {
        // A driver not in the table: each statistic by the API's layout where its four entries
        // agree with the layers in use.
        const Layout layout = listed != nullptr                                    ? listed->layout
                              : parameters.known && agrees(*statistic, parameters) ? Layout::api
                                                                                   : Layout::whole_only;
        if (layout == Layout::api)
            continue;
        // tc90522's C/N has one entry, the whole channel's; its counters are left out altogether.
        if (layout == Layout::layers_first && statistic != &laid.cnr)
            statistic->len = 0;
        whole_only(*statistic);
    }
    return laid;
}

} // namespace tuning
