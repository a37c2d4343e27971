// Finding the driver's filters by friendly name.
#include "support/sim_fixture.h"

namespace {

const WCHAR *const tuner_name = L"SKNET HDTV BDA Digital Tuner_0";

class FindDevTest : public ComApartmentTest {
protected:
    static sim::Device tuner(const WCHAR *name, sim::FilterKind kind = sim::FilterKind::tuner)
    {
        return {name, sim::Category::network_tuner, kind};
    }

    // Looks the tuner up and tells what was found: the kind of filter, or "none".
    std::string look_up(std::string *err = nullptr)
    {
        IBaseFilter *found = nullptr;
        const Captured captured = capture([&] { found = find_dev(tuner_name, KSCATEGORY_BDA_NETWORK_TUNER); });
        if (err != nullptr)
            *err = captured.err;
        if (found == nullptr)
            return "none";
        IKsPropertySet *property = nullptr;
        const bool is_tuner = found->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void **>(&property)) == S_OK;
        if (is_tuner)
            property->Release();
        found->Release();
        return is_tuner ? "tuner" : "other";
    }
};

TEST_F(FindDevTest, TheNameMustMatchExactlyIncludingCase)
{
    sim::set_devices({tuner(L"sknet hdtv bda digital tuner_0"), tuner(L"SKNET HDTV BDA Digital Tuner_01"),
                      tuner(L"SKNET HDTV BDA Digital Tuner_")});
    std::string err;
    EXPECT_EQ(look_up(&err), "none");
    EXPECT_EQ(err, "") << "a device simply not found is not reported here";
}

TEST_F(FindDevTest, TheFirstMatchingDeviceThatBindsIsUsed)
{
    sim::set_devices(
        {tuner(L"Other Tuner", sim::FilterKind::other), tuner(tuner_name), tuner(tuner_name, sim::FilterKind::other)});
    EXPECT_EQ(look_up(), "tuner");
    EXPECT_EQ(sim::args_of("BindToObject").size(), 1u) << "the search ends at the first bound device";
}

TEST_F(FindDevTest, AMatchingDeviceThatWillNotBindPassesToTheNext)
{
    sim::Device broken = tuner(tuner_name, sim::FilterKind::other);
    broken.binds = false;
    sim::set_devices({broken, tuner(tuner_name)});
    EXPECT_EQ(look_up(), "tuner");
    EXPECT_EQ(sim::args_of("BindToObject").size(), 2u);
}

TEST_F(FindDevTest, ADeviceWhoseNameCannotBeReadIsPassedOver)
{
    sim::Device unnamed = tuner(tuner_name, sim::FilterKind::other);
    unnamed.name_readable = false;
    sim::set_devices({unnamed, tuner(tuner_name)});
    EXPECT_EQ(look_up(), "tuner");
}

TEST_F(FindDevTest, APropertyBagThatCannotBeBoundEndsTheWholeSearch)
{
    sim::Device bagless = tuner(L"Other Tuner");
    bagless.storage_binds = false;
    sim::set_devices({bagless, tuner(tuner_name)});
    std::string err;
    EXPECT_EQ(look_up(&err), "none");
    EXPECT_EQ(err, "");
    EXPECT_EQ(sim::args_of("BindToStorage").size(), 1u);
}

TEST_F(FindDevTest, AnEmptyCategoryIsReported)
{
    sim::set_devices({});
    std::string err;
    EXPECT_EQ(look_up(&err), "none");
    EXPECT_EQ(err, "find_dev: CreateClassEnumerator\n");
}

TEST_F(FindDevTest, ADeviceEnumeratorThatCannotBeCreatedIsReported)
{
    sim::fail("CoCreateInstance CLSID_SystemDeviceEnum", REGDB_E_CLASSNOTREG);
    std::string err;
    EXPECT_EQ(look_up(&err), "none");
    EXPECT_EQ(err, "find_dev: CoCreateInstance\n");
}

TEST_F(FindDevTest, AFailingMonikerEnumerationEndsTheSearchQuietly)
{
    sim::fail("EnumMoniker.Next", E_FAIL);
    std::string err;
    EXPECT_EQ(look_up(&err), "none");
    EXPECT_EQ(err, "");
}

} // namespace
