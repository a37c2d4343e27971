// The simulated tuning platform answers as the real one does, so the tuner code is tested against
// honest COM behaviour.
#include <cmath>

#include "platform/tuning/simulated/receiver.h"
#include "platform/tuning/simulated/signal.h"
#include "support/sim_fixture.h"

namespace {

class SimPlatformTest : public ComApartmentTest {
protected:
    template <typename Interface> Interface *create(REFCLSID clsid, REFIID iid)
    {
        Interface *object = nullptr;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void **>(&object)),
                  S_OK);
        return object;
    }

    static HRESULT query(IUnknown *object, REFIID iid)
    {
        IUnknown *answer = reinterpret_cast<IUnknown *>(0x1);
        const HRESULT hr = object->QueryInterface(iid, reinterpret_cast<void **>(&answer));
        if (hr == S_OK)
            answer->Release();
        else
            EXPECT_EQ(answer, nullptr) << "a refused query must clear its out pointer";
        return hr;
    }
};

TEST_F(SimPlatformTest, ComCountsInitialisationsPerThread)
{
    // The fixture's CoInitialize was the first: later ones answer S_FALSE and must be undone too.
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(tuning::apartment_initialisations(), 2);
    CoUninitialize();
    EXPECT_EQ(tuning::apartment_initialisations(), 1);
}

TEST_F(SimPlatformTest, CreatingWithoutComOrAnUnknownClassFails)
{
    CoUninitialize();
    IUnknown *object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void **>(&object)),
              CO_E_NOTINITIALIZED);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(
        CoCreateInstance(IID_ITuner, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void **>(&object)),
        REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_ITuner,
                               reinterpret_cast<void **>(&object)),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
}

TEST_F(SimPlatformTest, QueryInterfaceAnswersOnlyWhatEachObjectImplements)
{
    IGraphBuilder *graph = create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
    EXPECT_EQ(query(graph, IID_IFilterGraph), S_OK);
    EXPECT_EQ(query(graph, IID_IUnknown), S_OK);
    EXPECT_EQ(query(graph, IID_IBaseFilter), E_NOINTERFACE);

    IBaseFilter *provider = create<IBaseFilter>(CLSID_DVBTNetworkProvider, IID_IBaseFilter);
    EXPECT_EQ(query(provider, IID_ITuner), S_OK);
    EXPECT_EQ(query(provider, IID_IKsPropertySet), E_NOINTERFACE);

    IBaseFilter *demux = create<IBaseFilter>(CLSID_MPEG2Demultiplexer, IID_IBaseFilter);
    EXPECT_EQ(query(demux, IID_ITuner), E_NOINTERFACE);
    EXPECT_EQ(query(demux, IID_IKsPropertySet), E_NOINTERFACE);

    IDVBTuningSpace *space = create<IDVBTuningSpace>(CLSID_DVBTuningSpace, IID_IDVBTuningSpace);
    EXPECT_EQ(query(space, IID_ITuningSpace), S_OK);
    EXPECT_EQ(query(space, IID_ITuner), E_NOINTERFACE);

    IDVBTLocator *locator = create<IDVBTLocator>(CLSID_DVBTLocator, IID_IDVBTLocator);
    EXPECT_EQ(query(locator, IID_ILocator), S_OK);
    EXPECT_EQ(query(locator, IID_ITuneRequest), E_NOINTERFACE);

    for (IUnknown *object : std::initializer_list<IUnknown *>{graph, provider, demux, space, locator})
        EXPECT_EQ(object->Release(), 0u);
}

TEST_F(SimPlatformTest, TheTunerFilterCarriesTheVendorPropertyNotTheProvider)
{
    IBaseFilter *tuner = find_dev(L"SKNET HDTV BDA Digital Tuner_0", KSCATEGORY_BDA_NETWORK_TUNER);
    ASSERT_NE(tuner, nullptr);
    EXPECT_EQ(query(tuner, IID_IKsPropertySet), S_OK);
    EXPECT_EQ(query(tuner, IID_ITuner), E_NOINTERFACE);
    tuner->Release();
}

TEST_F(SimPlatformTest, AnEmptyCategoryGivesSFalseAndNoEnumerator)
{
    tuning::set_devices({});
    ICreateDevEnum *devices = create<ICreateDevEnum>(CLSID_SystemDeviceEnum, IID_ICreateDevEnum);
    IEnumMoniker *monikers = reinterpret_cast<IEnumMoniker *>(0x1);
    EXPECT_EQ(devices->CreateClassEnumerator(KSCATEGORY_BDA_NETWORK_TUNER, &monikers, 0), S_FALSE);
    EXPECT_EQ(monikers, nullptr);
    devices->Release();
}

// As Wine's conformance tests pin DirectShow's filter graph, on Windows as under Wine: the newest
// filter comes first, adding or removing a filter puts an open enumeration out of sync until it
// is reset, and a name already taken is made unique with a success code.
TEST_F(SimPlatformTest, TheFilterGraphEnumeratesAndNamesAsDirectShowDoes)
{
    IGraphBuilder *graph = create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
    IBaseFilter *first = create<IBaseFilter>(CLSID_MPEG2Demultiplexer, IID_IBaseFilter);
    IBaseFilter *second = create<IBaseFilter>(CLSID_DVBTNetworkProvider, IID_IBaseFilter);
    IBaseFilter *third = create<IBaseFilter>(CLSID_MPEG2Demultiplexer, IID_IBaseFilter);
    IEnumFilters *filters = nullptr;
    ASSERT_EQ(graph->EnumFilters(&filters), S_OK);
    IBaseFilter *filter = nullptr;
    EXPECT_EQ(filters->Next(1, &filter, nullptr), S_FALSE) << "an empty graph";
    ASSERT_EQ(graph->AddFilter(first, L"name"), S_OK);
    EXPECT_EQ(filters->Next(1, &filter, nullptr), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(graph->AddFilter(second, L"name"), VFW_S_DUPLICATE_NAME);
    EXPECT_EQ(graph->AddFilter(third, nullptr), S_OK);
    EXPECT_EQ(tuning::args_of("AddFilter"), (std::vector<std::string>{"name", "name", ""}));

    EXPECT_EQ(filters->Reset(), S_OK);
    IBaseFilter *order[3] = {};
    for (IBaseFilter *&next : order) {
        ASSERT_EQ(filters->Next(1, &next, nullptr), S_OK);
        next->Release();
    }
    EXPECT_EQ(order[0], third);
    EXPECT_EQ(order[1], second);
    EXPECT_EQ(order[2], first);
    EXPECT_EQ(filters->Next(1, &filter, nullptr), S_FALSE);

    EXPECT_EQ(graph->RemoveFilter(second), S_OK);
    EXPECT_EQ(filters->Next(1, &filter, nullptr), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(filters->Reset(), S_OK);
    ASSERT_EQ(filters->Next(1, &filter, nullptr), S_OK);
    EXPECT_EQ(filter, third);
    filter->Release();

    filters->Release();
    graph->Release();
    for (IBaseFilter *created : {first, second, third})
        EXPECT_EQ(created->Release(), 0u);
}

TEST_F(SimPlatformTest, OnlyPinsThatAcceptEachOtherConnect)
{
    IGraphBuilder *graph = create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
    IBaseFilter *provider = create<IBaseFilter>(CLSID_DVBTNetworkProvider, IID_IBaseFilter);
    IBaseFilter *demux = create<IBaseFilter>(CLSID_MPEG2Demultiplexer, IID_IBaseFilter);
    auto first_pin = [](IBaseFilter *filter) {
        IEnumPins *pins = nullptr;
        IPin *pin = nullptr;
        EXPECT_EQ(filter->EnumPins(&pins), S_OK);
        EXPECT_EQ(pins->Next(1, &pin, nullptr), S_OK);
        pins->Release();
        return pin;
    };
    IPin *antenna = first_pin(provider);
    IPin *stream = first_pin(demux);
    EXPECT_EQ(graph->ConnectDirect(antenna, stream, nullptr), VFW_E_NOT_IN_GRAPH);
    ASSERT_EQ(graph->AddFilter(provider, L"provider"), S_OK);
    ASSERT_EQ(graph->AddFilter(demux, L"demux"), S_OK);
    EXPECT_EQ(graph->ConnectDirect(stream, antenna, nullptr), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(graph->ConnectDirect(antenna, stream, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);

    for (IUnknown *object : std::initializer_list<IUnknown *>{antenna, stream, graph, provider, demux})
        object->Release();
}

TEST_F(SimPlatformTest, FaultsHitTheChosenCallsOnly)
{
    tuning::fail("CoCreateInstance CLSID_MPEG2Demultiplexer", E_OUTOFMEMORY, 2, 2);
    IBaseFilter *filter = nullptr;
    HRESULT results[4];
    for (HRESULT &result : results) {
        result = CoCreateInstance(CLSID_MPEG2Demultiplexer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  reinterpret_cast<void **>(&filter));
        if (result == S_OK)
            filter->Release();
    }
    EXPECT_EQ(results[0], S_OK);
    EXPECT_EQ(results[1], E_OUTOFMEMORY);
    EXPECT_EQ(results[2], E_OUTOFMEMORY);
    EXPECT_EQ(results[3], S_OK);
}

TEST_F(SimPlatformTest, TheDriverAnswersOnlyTheSelectorItWasJustGiven)
{
    IBaseFilter *tuner = find_dev(L"SKNET HDTV BDA Digital Tuner_0", KSCATEGORY_BDA_NETWORK_TUNER);
    ASSERT_NE(tuner, nullptr);
    IKsPropertySet *property = nullptr;
    ASSERT_EQ(tuner->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void **>(&property)), S_OK);
    DWORD selector = 0x8B20;
    DWORD other = 0x8C20;
    DWORD value = 0;
    DWORD returned = 0;
    EXPECT_EQ(property->Get(PROPSETID_TunerLevel, 3, &selector, 4, &value, 4, &returned), E_UNEXPECTED);
    ASSERT_EQ(property->Set(PROPSETID_TunerLevel, 3, nullptr, 0, &selector, 4), S_OK);
    EXPECT_EQ(property->Get(PROPSETID_TunerLevel, 3, &other, 4, &value, 4, &returned), E_UNEXPECTED);
    EXPECT_EQ(property->Set(PROPSETID_TunerLevel, 4, nullptr, 0, &selector, 4), E_PROP_ID_UNSUPPORTED);
    EXPECT_EQ(property->Set(IID_ITuner, 3, nullptr, 0, &selector, 4), E_PROP_SET_UNSUPPORTED);
    ASSERT_EQ(property->Get(PROPSETID_TunerLevel, 3, &selector, 4, &value, 4, &returned), S_OK);
    EXPECT_EQ(returned, 4u);
    EXPECT_NE(value >> 8, 0u) << "the upper bytes carry other registers";
    property->Release();
    tuner->Release();
}

// A watched object is never freed by its Release, as Wine's test doubles never free themselves: one
// Release too many is counted, where a freed object would make it undefined.
TEST(WatchedObjects, AReleaseTooManyIsCountedOnAZombie)
{
    tuning::reset();
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    IGraphBuilder *graph = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void **>(&graph)),
              S_OK);
    EXPECT_EQ(graph->Release(), 0u);
    EXPECT_EQ(graph->Release(), 0u);
    EXPECT_EQ(tuning::over_releases(), 1);
    EXPECT_EQ(live_report(), "");
    CoUninitialize();
    tuning::reset();
}

// Levels the program would show, from the figures the simulated driver reports.
static double simulated_level_db(int frequency_khz, std::uint64_t sample)
{
    return 20.0 * std::log10(5505024.0 / tuning::figures_for(frequency_khz, 7, sample).level_value);
}

TEST(SignalModel, ChannelsAreStrongWeakOrEmptyAndMoveFromSampleToSample)
{
    double strong_low = 99, strong_high = -99, weak_high = -99, empty_high = -99;
    for (std::uint64_t sample = 1; sample <= 200; ++sample) {
        strong_low = std::min(strong_low, simulated_level_db(473000, sample));
        strong_high = std::max(strong_high, simulated_level_db(473000, sample));
        weak_high = std::max(weak_high, simulated_level_db(539000, sample));
        empty_high = std::max(empty_high, simulated_level_db(479000, sample));
    }
    EXPECT_GT(strong_low, 25.0);
    EXPECT_LT(strong_high, 35.0);
    EXPECT_GT(strong_high - strong_low, 1.0) << "noise and fading move the level";
    EXPECT_LT(weak_high, 18.0);
    EXPECT_LT(empty_high, 1.0);

    const tuning::Figures once = tuning::figures_for(539000, 7, 42);
    const tuning::Figures again = tuning::figures_for(539000, 7, 42);
    EXPECT_EQ(once.level_value, again.level_value) << "a seed reproduces its figures";
    EXPECT_EQ(once.error_count, again.error_count);
    EXPECT_NE(tuning::figures_for(539000, 8, 42).level_value, once.level_value);
}

// Beside the vendor figures, the receiver's own: the level as its C/N, layers A and B whose counts
// add up to the whole's, counted on from report to report and from zero after a tune; C unused.
TEST(SignalModel, TheReceiverReportsTheLevelAsItsCnAndLayersThatAddUpToTheWhole)
{
    const tuning::Figures figures = {174085, 3, 2000, true}; // 30 dB; 3 errors in 2000 x 1632 bits
    const ReceiverFigures first = tuning::receiver_report(figures, tuning::Reception::strong, {}, true);
    const ReceiverFigures second = tuning::receiver_report(figures, tuning::Reception::strong, first, false);
    const ReceiverFigures tuned = tuning::receiver_report(figures, tuning::Reception::strong, second, true);
    EXPECT_EQ(first.status, 0x1Fu);
    EXPECT_TRUE(first.counts_restarted && !second.counts_restarted && tuned.counts_restarted);
    const double cnr[] = {30.0, 30.4, 29.8};
    // 3264000 bits: 1/13 of them on layer A, the rest on B; the errors all on B.
    const std::uint64_t bits[] = {3264000, 251076, 3012924};
    const std::uint64_t errors[] = {3, 0, 3};
    for (int part = part_whole; part <= part_layer_b; ++part) {
        EXPECT_DOUBLE_EQ(first.carrier_to_noise_db[part].value, cnr[part]) << part;
        EXPECT_EQ(first.counts[count_post_bits][part].value, bits[part]) << part;
        EXPECT_EQ(first.counts[count_post_error_bits][part].value, errors[part]) << part;
        EXPECT_EQ(second.counts[count_post_bits][part].value, 2 * bits[part]) << part;
        EXPECT_EQ(tuned.counts[count_post_bits][part].value, bits[part]) << part;
    }
    EXPECT_FALSE(first.carrier_to_noise_db[part_layer_c].given || first.counts[count_blocks][part_layer_c].given);
    EXPECT_EQ(second.counts[count_error_blocks][part_whole].value, 0u) << "9.2E-07 after the inner code: all corrected";
    EXPECT_DOUBLE_EQ(first.signal_strength_dbm[part_whole].value, -55.0);

    // Where nothing is broadcast: no lock, and no layers.
    const ReceiverFigures none = tuning::receiver_report(figures, tuning::Reception::absent, {}, true);
    EXPECT_EQ(none.status, std::uint32_t{has_signal});
    EXPECT_TRUE(none.carrier_to_noise_db[part_whole].given && none.counts[count_blocks][part_whole].given);
    EXPECT_FALSE(none.carrier_to_noise_db[part_layer_a].given || none.counts[count_blocks][part_layer_a].given);
    EXPECT_FALSE(none.layers_known);
}

} // namespace
