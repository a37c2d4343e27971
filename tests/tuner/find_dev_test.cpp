// Finding the driver's filters by friendly name.
#include "support/sim_fixture.h"

namespace {

const WCHAR *const tuner_name = L"SKNET HDTV BDA Digital Tuner_0";

class FindDevTest : public ComApartmentTest {
protected:
    static tuning::Device tuner(const WCHAR *name, tuning::FilterKind kind = tuning::FilterKind::tuner)
    {
        return {name, tuning::Category::network_tuner, kind};
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
    tuning::set_devices({tuner(L"sknet hdtv bda digital tuner_0"), tuner(L"SKNET HDTV BDA Digital Tuner_01"),
                         tuner(L"SKNET HDTV BDA Digital Tuner_")});
    std::string err;
    EXPECT_EQ(look_up(&err), "none");
    EXPECT_EQ(err, "") << "a device simply not found is not reported here";
}

TEST_F(FindDevTest, TheFirstMatchingDeviceThatBindsIsUsed)
{
    tuning::set_devices({tuner(L"Other Tuner", tuning::FilterKind::other), tuner(tuner_name),
                         tuner(tuner_name, tuning::FilterKind::other)});
    EXPECT_EQ(look_up(), "tuner");
    EXPECT_EQ(tuning::args_of("BindToObject").size(), 1u) << "the search ends at the first bound device";
}

TEST_F(FindDevTest, AMatchingDeviceThatWillNotBindPassesToTheNext)
{
    tuning::Device broken = tuner(tuner_name, tuning::FilterKind::other);
    broken.binds = false;
    tuning::set_devices({broken, tuner(tuner_name)});
    EXPECT_EQ(look_up(), "tuner");
    EXPECT_EQ(tuning::args_of("BindToObject").size(), 2u);
}

TEST_F(FindDevTest, ADeviceWhoseNameCannotBeReadIsPassedOver)
{
    tuning::Device unnamed = tuner(tuner_name, tuning::FilterKind::other);
    unnamed.name_readable = false;
    tuning::set_devices({unnamed, tuner(tuner_name)});
    EXPECT_EQ(look_up(), "tuner");
}

TEST_F(FindDevTest, APropertyBagThatCannotBeBoundEndsTheWholeSearch)
{
    tuning::Device bagless = tuner(L"Other Tuner");
    bagless.storage_binds = false;
    tuning::set_devices({bagless, tuner(tuner_name)});
    std::string err;
    EXPECT_EQ(look_up(&err), "none");
    EXPECT_EQ(err, "");
    EXPECT_EQ(tuning::args_of("BindToStorage").size(), 1u);
}

TEST_F(FindDevTest, AnEmptyCategoryIsReported)
{
    tuning::set_devices({});
    std::string err;
    EXPECT_EQ(look_up(&err), "none");
    EXPECT_EQ(err, "find_dev: CreateClassEnumerator\n");
}

TEST_F(FindDevTest, ADeviceEnumeratorThatCannotBeCreatedIsReported)
{
    tuning::fail("CoCreateInstance CLSID_SystemDeviceEnum", REGDB_E_CLASSNOTREG);
    std::string err;
    EXPECT_EQ(look_up(&err), "none");
    EXPECT_EQ(err, "find_dev: CoCreateInstance\n");
}

TEST_F(FindDevTest, AFailingMonikerEnumerationEndsTheSearchQuietly)
{
    tuning::fail("EnumMoniker.Next", E_FAIL);
    std::string err;
    EXPECT_EQ(look_up(&err), "none");
    EXPECT_EQ(err, "");
}

} // namespace
