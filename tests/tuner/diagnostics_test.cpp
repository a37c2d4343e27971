// Every diagnostic line of tuner access, each produced by the fault that causes it: the exact
// line, the failing function's result, init_tuner's 0 where the fault stops start-up, and a
// complete teardown.
#include "support/sim_fixture.h"

namespace {

const HRESULT fault = static_cast<HRESULT>(0x80070005); // the injected result, as "access denied"

// Where the fault is met: at start-up through init_tuner, by calling the failing function
// directly on a fresh COM apartment and graph, or both.
enum class Path { both, start_up, step };

struct Row {
    const char *what;
    std::function<void()> arrange;
    std::function<int()> step; // the function whose failure is reported
    int result;
    const char *lines;
    Path path = Path::both;
};

std::function<void()> inject(const char *op, int at_call = 1)
{
    return [=] { tuning::fail(op, fault, at_call); };
}

std::function<void()> without(tuning::Category category)
{
    return [=] {
        std::vector<tuning::Device> devices = tuning::standard_devices();
        std::erase_if(devices, [&](const tuning::Device &d) { return d.category == category; });
        tuning::set_devices(devices);
    };
}

std::function<void()> renamed(tuning::Category category)
{
    return [=] {
        std::vector<tuning::Device> devices = tuning::standard_devices();
        for (tuning::Device &device : devices)
            if (device.category == category)
                device.friendly_name += L" (2)";
        tuning::set_devices(devices);
    };
}

int added() { return create_filters() == 0 ? add_filters(pGraph) : -1; }
int tuned() { return build_graph() == 1 ? tune_channel(13, 0) : -1; }
int cleared() { return build_graph() == 1 ? clear_graph() : -1; }
int level_read() { return build_graph() == 1 ? get_level(0x8B20) : -1; }

const std::vector<Row> &rows()
{
    static const std::vector<Row> table = {
        {"COM start", inject("CoInitialize"), init_tuner, 0, "CoInitialize\n", Path::start_up},
        {"filter graph", inject("CoCreateInstance CLSID_FilterGraph"), init_tuner, 0, "", Path::start_up},
        {"network provider", inject("CoCreateInstance CLSID_DVBTNetworkProvider"), create_filters, fault,
         "create_filters: CLSID_DVBTNetworkProvider\n"},
        {"tuning space", inject("CoCreateInstance CLSID_DVBTuningSpace"), create_filters, fault,
         "create_filters: CLSID_DVBTuningSpace\n"},
        {"network type", inject("put__NetworkType"), create_filters, fault, "create_filters: put__NetworkType\n"},
        {"system type", inject("put_SystemType"), create_filters, fault, "create_filters: put_SystemType\n"},
        {"provider's tuner", inject("QueryInterface IID_ITuner"), create_filters, fault, "create_filters: IID_Tuner\n"},
        {"tuning space refused", inject("put_TuningSpace"), create_filters, fault, "create_filters: put_TuningSpace\n"},
        {"no tuner device", without(tuning::Category::network_tuner), create_filters, 1,
         "find_dev: CreateClassEnumerator\ncreate_filters: pBDATuner\n"},
        {"tuner not found", renamed(tuning::Category::network_tuner), create_filters, 1, "create_filters: pBDATuner\n"},
        {"no device enumerator", inject("CoCreateInstance CLSID_SystemDeviceEnum"), create_filters, 1,
         "find_dev: CoCreateInstance\ncreate_filters: pBDATuner\n"},
        {"no capture device", without(tuning::Category::receiver_component), create_filters, 1,
         "find_dev: CreateClassEnumerator\ncreate_filters: pBDACapture\n"},
        {"capture not found", renamed(tuning::Category::receiver_component), create_filters, 1,
         "create_filters: pBDACapture\n"},
        {"capture category fails", inject("CreateClassEnumerator", 2), create_filters, 1,
         "find_dev: CreateClassEnumerator\ncreate_filters: pBDACapture\n"},
        {"no transport information filter", without(tuning::Category::transport_information), create_filters, 1,
         "find_dev: CreateClassEnumerator\ncreate_filters: pM2TIF\n"},
        {"transport information filter not found", renamed(tuning::Category::transport_information), create_filters, 1,
         "create_filters: pM2TIF\n"},
        {"demultiplexer", inject("CoCreateInstance CLSID_MPEG2Demultiplexer"), create_filters, fault,
         "create_filters: CLSID_MPEG2Demultiplexer\n"},
        {"add provider", inject("AddFilter", 1), added, fault, "add_filters: pNProvider\n"},
        {"add tuner", inject("AddFilter", 2), added, fault, "add_filters: pBDATuner\n"},
        {"add capture", inject("AddFilter", 3), added, fault, "add_filters: pBDACapture\n"},
        {"add demultiplexer", inject("AddFilter", 4), added, fault, "add_filters: pM2D\n"},
        {"add transport information filter", inject("AddFilter", 5), added, fault, "add_filters: pM2TIF\n"},
        {"downstream pins", inject("EnumPins", 1), build_graph, 0, "connect_filters: EnumPins\n"},
        {"upstream pins", inject("EnumPins", 2), build_graph, 0, "connect_filters_directly: EnumPins\n"},
        {"downstream direction", inject("QueryDirection", 1), build_graph, 0, "connect_filters: QueryDirection\n"},
        {"upstream direction", inject("QueryDirection", 2), build_graph, 0,
         "connect_filters_directly: QueryDirection\n"},
        {"no pin pair accepted", [] { tuning::fail("ConnectDirect", fault, 1, 0); }, build_graph, 0, ""},
        {"locator", inject("CoCreateInstance CLSID_DVBTLocator"), tuned, fault, "request_tuning: CLSID_DVBTLocator\n"},
        {"tune request", inject("CreateTuneRequest"), tuned, fault, "request_tuning: CreateTuneRequest\n"},
        {"carrier frequency", inject("put_CarrierFrequency"), tuned, fault, "request_tuning: put_CarrierFrequency\n"},
        {"locator refused", inject("put_Locator"), tuned, fault, "request_tuning: put_Locator\n"},
        {"provider without tuner", inject("QueryInterface IID_ITuner", 2), tuned, fault,
         "request_tuning: IID_ITuner\n"},
        {"tune refused", inject("put_TuneRequest"), tuned, fault, "request_tuning: put_TuneRequest\n"},
        {"graph without filter graph interface", inject("QueryInterface IID_IFilterGraph"), cleared, 0,
         "clear_graph: IID_IFilterGraph\n", Path::step},
        {"graph without enumeration", inject("EnumFilters"), cleared, 0, "clear_graph: EnumFilters\n", Path::step},
        {"tuner without property set", inject("QueryInterface IID_IKsPropertySet"), level_read, -2,
         "get_level: QueryInterface\n", Path::step},
        {"property set refused", inject("Set"), level_read, -2, "get_level: IKsPropertySet.Set hr=80070005\n",
         Path::step},
        {"property get refused", inject("Get"), level_read, -2, "", Path::step},
    };
    return table;
}

class DiagnosticsTest : public SimTest, public testing::WithParamInterface<size_t> {};

TEST_P(DiagnosticsTest, TheFailingFunctionReportsItsStepAndEverythingIsTornDown)
{
    const Row &row = rows()[GetParam()];
    SCOPED_TRACE(row.what);

    if (row.path != Path::step) {
        row.arrange();
        int up = -1;
        const Captured captured = capture([&] { up = init_tuner(); });
        EXPECT_EQ(up, 0);
        EXPECT_EQ(captured.err, row.lines);
        EXPECT_EQ(captured.out, "");
        EXPECT_EQ(live_report(), "");
        EXPECT_EQ(tuning::apartment_initialisations(), 0);
        for (void *reference :
             {static_cast<void *>(pGraph), static_cast<void *>(pNProvider), static_cast<void *>(pTuningSpace),
              static_cast<void *>(pBDATuner), static_cast<void *>(pBDACapture), static_cast<void *>(pM2TIF),
              static_cast<void *>(pM2D)})
            EXPECT_EQ(reference, nullptr);
    }
    if (row.path != Path::start_up) {
        tuning::reset();
        row.arrange();
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void **>(&pGraph)),
                  S_OK);
        int result = -1;
        const Captured captured = capture([&] { result = row.step(); });
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(captured.err, row.lines);
        release_tuner();
        CoUninitialize();
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLine, DiagnosticsTest, testing::Range<size_t>(0, rows().size()),
                         [](const testing::TestParamInfo<size_t> &param) {
                             std::string name = rows()[param.param].what;
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(DiagnosticsMatrix, CoversEveryLine)
{
    std::printf("fault matrix: %zu faults\n", rows().size());
    EXPECT_EQ(rows().size(), 38u);
}

} // namespace
