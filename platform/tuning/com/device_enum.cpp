// The simulated system device enumerator: device categories holding monikers, each with a
// property bag carrying the device's friendly name.
#include "platform/tuning/com/objects.h"

namespace tuning {

namespace {

class PropertyBag final : public ComObject<IPropertyBag> {
public:
    explicit PropertyBag(Device device) : ComObject("PropertyBag"), device_(std::move(device)) {}

    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR property, VARIANT *value, IErrorLog *) override
    {
        if (const Result injected = observe("Read", [&] { return narrow(property); }))
            return injected;
        if (property == nullptr || value == nullptr)
            return E_POINTER;
        if (std::wstring(property) != L"FriendlyName" || !device_.name_readable)
            return E_INVALIDARG;
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(device_.friendly_name.c_str());
        return S_OK;
    }

private:
    Device device_;
};

class Moniker final : public ComObject<IMoniker> {
public:
    explicit Moniker(Device device) : ComObject("Moniker"), device_(std::move(device)) {}

    HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx *, IMoniker *, REFIID iid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (const Result injected = observe("BindToObject", [&] { return narrow(device_.friendly_name.c_str()); }))
            return injected;
        if (!device_.binds)
            return MK_E_NOOBJECT;
        return hand_out(new_filter(device_.kind), iid, object);
    }

    HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx *, IMoniker *, REFIID iid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (const Result injected = observe("BindToStorage", [&] { return narrow(device_.friendly_name.c_str()); }))
            return injected;
        if (!device_.storage_binds)
            return MK_E_NOOBJECT;
        // The analyser cannot follow the reference count down to the delete in Release.
        // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
        return hand_out(static_cast<IPropertyBag *>(new PropertyBag(device_)), iid, object);
    }

private:
    Device device_;
};

class EnumMoniker final : public ComObject<IEnumMoniker> {
public:
    explicit EnumMoniker(std::vector<Device> devices) : ComObject("EnumMoniker"), devices_(std::move(devices)) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IMoniker **monikers, ULONG *fetched) override
    {
        if (monikers == nullptr || (count != 1 && fetched == nullptr))
            return E_POINTER;
        if (fetched != nullptr)
            *fetched = 0;
        if (const Result injected = observe("EnumMoniker.Next"))
            return injected;
        ULONG given = 0;
        for (; given < count && next_ < devices_.size(); ++given, ++next_)
            monikers[given] = new Moniker(devices_[next_]);
        if (fetched != nullptr)
            *fetched = given;
        if (given < count)
            monikers[given] = nullptr;
        return given == count ? S_OK : S_FALSE;
    }

private:
    std::vector<Device> devices_;
    size_t next_ = 0;
};

Category category_of(REFCLSID category)
{
    if (category == KSCATEGORY_BDA_NETWORK_TUNER)
        return Category::network_tuner;
    if (category == KSCATEGORY_BDA_RECEIVER_COMPONENT)
        return Category::receiver_component;
    if (category == KSCATEGORY_BDA_TRANSPORT_INFORMATION)
        return Category::transport_information;
    return Category::other;
}

class DeviceEnumerator final : public ComObject<ICreateDevEnum> {
public:
    DeviceEnumerator() : ComObject("SystemDeviceEnum") {}

    HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID category, IEnumMoniker **monikers, DWORD) override
    {
        if (monikers == nullptr)
            return E_POINTER;
        *monikers = nullptr;
        if (const Result injected = observe("CreateClassEnumerator"))
            return injected;
        std::vector<Device> devices = devices_in(category_of(category));
        if (devices.empty())
            return S_FALSE; // an empty category hands out no enumerator
        *monikers = new EnumMoniker(std::move(devices));
        return S_OK;
    }
};

} // namespace

IUnknown *new_device_enumerator() { return new DeviceEnumerator; }

} // namespace tuning
