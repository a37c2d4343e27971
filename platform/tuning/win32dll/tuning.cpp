// The BDA tuning model: the DVB tuning space, its tune requests and the DVB-T locator.
#include "platform/tuning/win32dll/objects.h"

namespace tuning {

namespace {

class Locator final : public ComObject<NoAutomation<IDVBTLocator>> {
public:
    Locator() : ComObject("DVBTLocator") {}

    HRESULT STDMETHODCALLTYPE put_CarrierFrequency(LONG frequency) override
    {
        if (const Result injected = observe("put_CarrierFrequency", [&] { return std::to_string(frequency); }))
            return injected;
        frequency_ = frequency;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_CarrierFrequency(LONG *frequency) override
    {
        if (frequency == nullptr)
            return E_POINTER;
        *frequency = frequency_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_InnerFEC(FECMethod *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_InnerFEC(FECMethod) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_InnerFECRate(BinaryConvolutionCodeRate *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_InnerFECRate(BinaryConvolutionCodeRate) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_OuterFEC(FECMethod *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_OuterFEC(FECMethod) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_OuterFECRate(BinaryConvolutionCodeRate *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_OuterFECRate(BinaryConvolutionCodeRate) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Modulation(ModulationType *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Modulation(ModulationType) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_SymbolRate(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_SymbolRate(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(ILocator **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Bandwidth(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Bandwidth(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LPInnerFEC(FECMethod *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_LPInnerFEC(FECMethod) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LPInnerFECRate(BinaryConvolutionCodeRate *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_LPInnerFECRate(BinaryConvolutionCodeRate) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_HAlpha(HierarchyAlpha *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_HAlpha(HierarchyAlpha) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Guard(GuardInterval *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Guard(GuardInterval) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Mode(TransmissionMode *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Mode(TransmissionMode) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_OtherFrequencyInUse(VARIANT_BOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_OtherFrequencyInUse(VARIANT_BOOL) override { return E_NOTIMPL; }

private:
    LONG frequency_ = -1; // unset, as a new locator's carrier frequency is
};

class TuneRequest final : public ComObject<NoAutomation<ITuneRequest>> {
public:
    TuneRequest() : ComObject("TuneRequest") {}

    HRESULT STDMETHODCALLTYPE put_Locator(ILocator *locator) override
    {
        if (const Result injected = observe("put_Locator"))
            return injected;
        hold(locator_, locator);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Locator(ILocator **locator) override
    {
        if (locator == nullptr)
            return E_POINTER;
        *locator = locator_;
        if (locator_ != nullptr)
            locator_->AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_TuningSpace(ITuningSpace **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Components(IComponents **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(ITuneRequest **) override { return E_NOTIMPL; }

private:
    void final_release() override { hold(locator_, nullptr); }

    ILocator *locator_ = nullptr;
};

class TuningSpace final : public ComObject<NoAutomation<IDVBTuningSpace>> {
public:
    TuningSpace() : ComObject("DVBTuningSpace") {}

    HRESULT STDMETHODCALLTYPE put__NetworkType(REFCLSID network_type) override
    {
        if (const Result injected = observe("put__NetworkType", [&] { return clsid_name(network_type); }))
            return injected;
        network_type_ = network_type;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get__NetworkType(GUID *network_type) override
    {
        if (network_type == nullptr)
            return E_POINTER;
        *network_type = network_type_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_SystemType(DVBSystemType type) override
    {
        if (const Result injected = observe("put_SystemType", [&] { return std::to_string(type); }))
            return injected;
        system_type_ = type;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_SystemType(DVBSystemType *type) override
    {
        if (type == nullptr)
            return E_POINTER;
        *type = system_type_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateTuneRequest(ITuneRequest **request) override
    {
        return give_new(request, "CreateTuneRequest", "", [&] { return new TuneRequest; });
    }

    HRESULT STDMETHODCALLTYPE get_UniqueName(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_UniqueName(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FriendlyName(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_FriendlyName(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CLSID(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_NetworkType(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_NetworkType(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumCategoryGUIDs(IEnumGUID **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDeviceMonikers(IEnumMoniker **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DefaultPreferredComponentTypes(IComponentTypes **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_DefaultPreferredComponentTypes(IComponentTypes *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FrequencyMapping(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_FrequencyMapping(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DefaultLocator(ILocator **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_DefaultLocator(ILocator *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(ITuningSpace **) override { return E_NOTIMPL; }

private:
    GUID network_type_{};
    DVBSystemType system_type_ = DVB_Cable;
};

} // namespace

IUnknown *new_tuning_space() { return static_cast<IDVBTuningSpace *>(new TuningSpace); }
IUnknown *new_locator() { return static_cast<IDVBTLocator *>(new Locator); }

} // namespace tuning
