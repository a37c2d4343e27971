// The tuner graph: coming up complete and in order, and coming down completely.
#include "support/sim_fixture.h"

namespace {

class GraphTest : public SimTest {};

TEST_F(GraphTest, ComesUpWithFiveFiltersAddedAndConnectedInOrderAndTheDefaultChannelTuned)
{
    bring_tuner_up();
    for (void *reference : {static_cast<void *>(pGraph), static_cast<void *>(pNProvider),
                            static_cast<void *>(pTuningSpace), static_cast<void *>(pBDATuner),
                            static_cast<void *>(pBDACapture), static_cast<void *>(pM2TIF), static_cast<void *>(pM2D)})
        EXPECT_NE(reference, nullptr);

    const std::vector<std::string> added = {"Microsoft DVB-T Network Provider", "SKNET HDTV BDA Digital Tuner_0",
                                            "SKNET HDTV BDA Digital Capture_0", "MPEG-2 Demultiplexer",
                                            "BDA MPEG-2 Transport Information Filter"};
    EXPECT_EQ(tuning::args_of("AddFilter"), added);

    std::vector<std::string> connected;
    for (const tuning::Call &call : tuning::calls())
        if (call.op == "ConnectDirect")
            connected.push_back(call.arg);
    const std::vector<std::string> expected = {
        "Microsoft DVB-T Network Provider.Antenna Out -> SKNET HDTV BDA Digital Tuner_0.Input0",
        "SKNET HDTV BDA Digital Tuner_0.MPEG2 Transport -> SKNET HDTV BDA Digital Capture_0.MPEG2 Transport",
        "SKNET HDTV BDA Digital Capture_0.MPEG2 Transport Out -> MPEG-2 Demultiplexer.MPEG-2 Stream",
        // The demultiplexer's first outputs do not carry sections; its PSI pin does.
        "MPEG-2 Demultiplexer.Video -> BDA MPEG-2 Transport Information Filter.Input",
        "MPEG-2 Demultiplexer.Audio -> BDA MPEG-2 Transport Information Filter.Input",
        "MPEG-2 Demultiplexer.PSI -> BDA MPEG-2 Transport Information Filter.Input"};
    EXPECT_EQ(connected, expected);

    EXPECT_EQ(tuning::args_of("put__NetworkType"), std::vector<std::string>{"CLSID_DVBTNetworkProvider"});
    EXPECT_EQ(tuning::args_of("put_SystemType"), std::vector<std::string>{"1"});
    EXPECT_EQ(tuning::args_of("put_TuneRequest"), std::vector<std::string>{"473000"});
    EXPECT_EQ(tuning::tuned_frequency_khz(), 473000);
    EXPECT_EQ(tuning::apartment_initialisations(), 1);
}

TEST_F(GraphTest, ThePendingChannelAndBandAreTuned)
{
    pending_settings = {1, 63, 1};
    bring_tuner_up();
    EXPECT_EQ(tuning::tuned_frequency_khz(), 465000);
}

TEST_F(GraphTest, AnOutOfRangePendingChannelFailsSilentlyBeforeTouchingCom)
{
    const TuneSettings refused[] = {{1, 63, 0}, {1, 12, 0}, {1, 64, 1}, {1, 12, 1}};
    for (const TuneSettings &settings : refused) {
        pending_settings = settings;
        int up = -1;
        const Captured captured = capture([&] { up = init_tuner(); });
        EXPECT_EQ(up, 0);
        EXPECT_EQ(captured.err, "");
    }
    EXPECT_TRUE(tuning::calls().empty());
}

TEST_F(GraphTest, ReleaseTakesEverythingDownOnceEvenWhenCalledTwice)
{
    bring_tuner_up();
    release_tuner();
    EXPECT_EQ(live_report(), "");
    EXPECT_EQ(tuning::apartment_initialisations(), 0);
    EXPECT_EQ(tuning::args_of("RemoveFilter").size(), 5u);
    const size_t calls_after_first = tuning::calls().size();
    release_tuner();
    EXPECT_EQ(tuning::calls().size(), calls_after_first) << "the second release touches nothing";
    EXPECT_EQ(pGraph, nullptr);
    EXPECT_EQ(pTuningSpace, nullptr);
}

TEST_F(GraphTest, ComeUpAgainAfterComingDown)
{
    bring_tuner_up();
    release_tuner();
    bring_tuner_up();
    EXPECT_EQ(tuning::args_of("put_TuneRequest").size(), 2u);
}

TEST_F(GraphTest, ClearingEndsEvenWhenTheGraphRefusesEveryRemoval)
{
    bring_tuner_up();
    tuning::fail("RemoveFilter", E_FAIL, 1, 0);
    EXPECT_EQ(clear_graph(), 1);
    EXPECT_EQ(tuning::args_of("RemoveFilter").size(), 5u) << "each refused filter is passed over once";
    // Releasing the graph still lets every filter go.
}

TEST_F(GraphTest, AFilterRefusedOnceIsPassedOverAndRemovedOnTheNextPass)
{
    bring_tuner_up();
    tuning::fail("RemoveFilter SKNET HDTV BDA Digital Capture_0", E_FAIL, 1, 1);
    EXPECT_EQ(clear_graph(), 1);
    // The graph enumerates its filters newest first, and each removal restarts the enumeration.
    EXPECT_EQ(tuning::args_of("RemoveFilter"),
              (std::vector<std::string>{"BDA MPEG-2 Transport Information Filter", "MPEG-2 Demultiplexer",
                                        "SKNET HDTV BDA Digital Capture_0", "SKNET HDTV BDA Digital Tuner_0",
                                        "SKNET HDTV BDA Digital Capture_0", "Microsoft DVB-T Network Provider"}));
}

TEST_F(GraphTest, ADemultiplexerWithoutASectionOutputFailsTheBuildSilently)
{
    tuning::set_pins(tuning::FilterKind::demultiplexer,
                     {{L"MPEG-2 Stream", false, "mpeg2-ts"}, {L"Video", true, "mpeg2-video"}});
    int up = -1;
    const Captured captured = capture([&] { up = init_tuner(); });
    EXPECT_EQ(up, 0);
    EXPECT_EQ(captured.err, "");
    EXPECT_EQ(pGraph, nullptr);
    EXPECT_EQ(live_report(), "") << "init_tuner tears down what it built";
}

TEST_F(GraphTest, AFailureAfterTheFiltersExistReleasesEachOfThem)
{
    tuning::fail("AddFilter", VFW_E_DUPLICATE_NAME, 3);
    int up = -1;
    const Captured captured = capture([&] { up = init_tuner(); });
    EXPECT_EQ(up, 0);
    EXPECT_EQ(captured.err, "add_filters: pBDACapture\n");
    EXPECT_EQ(live_report(), "");
    EXPECT_EQ(tuning::apartment_initialisations(), 0);
}

TEST_F(GraphTest, ClearGraphReportsAGraphItCannotEnumerateAndReleaseStillFinishes)
{
    const struct {
        const char *fault;
        const char *line;
    } rows[] = {{"QueryInterface IID_IFilterGraph", "clear_graph: IID_IFilterGraph\n"},
                {"EnumFilters", "clear_graph: EnumFilters\n"}};
    for (const auto &row : rows) {
        bring_tuner_up();
        tuning::fail(row.fault, E_FAIL);
        int cleared = -1;
        EXPECT_EQ(capture([&] { cleared = clear_graph(); }).err, row.line);
        EXPECT_EQ(cleared, 0);
        EXPECT_EQ(capture(release_tuner).err, "") << "the fault hit once";
        EXPECT_EQ(live_report(), "");
    }
}

} // namespace
