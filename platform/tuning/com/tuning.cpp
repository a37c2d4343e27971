// The simulated BDA tuning model: the DVB tuning space, its tune requests and the DVB-T locator.
#include "platform/tuning/com/objects.h"

namespace tuning {

namespace {

class Locator final : public ComObject<IDVBTLocator> {
public:
    Locator() : ComObject("DVBTLocator") {}

    HRESULT STDMETHODCALLTYPE put_CarrierFrequency(LONG frequency) override
    {
        if (const Result injected = observe("put_CarrierFrequency", [&] { return std::to_string(frequency); }))
            return injected;
        frequency_ = frequency;
        return S_OK;
    }

    int frequency() const { return frequency_; }

private:
    int frequency_ = -1; // unset, as a new locator's carrier frequency is
};

class TuneRequest final : public ComObject<ITuneRequest> {
public:
    TuneRequest() : ComObject("TuneRequest") {}

    HRESULT STDMETHODCALLTYPE put_Locator(ILocator *locator) override
    {
        if (const Result injected = observe("put_Locator"))
            return injected;
        hold(locator_, locator);
        return S_OK;
    }

    ILocator *locator() const { return locator_; }

private:
    void final_release() override { hold(locator_, nullptr); }

    ILocator *locator_ = nullptr;
};

class TuningSpace final : public ComObject<IDVBTuningSpace> {
public:
    TuningSpace() : ComObject("DVBTuningSpace") {}

    HRESULT STDMETHODCALLTYPE put__NetworkType(REFCLSID network_type) override
    {
        if (const Result injected = observe("put__NetworkType", [&] { return clsid_name(network_type); }))
            return injected;
        network_type_ = network_type;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE CreateTuneRequest(ITuneRequest **request) override
    {
        return give_new(request, "CreateTuneRequest", "", [&] { return new TuneRequest; });
    }

    HRESULT STDMETHODCALLTYPE put_SystemType(DVBSystemType type) override
    {
        if (const Result injected = observe("put_SystemType", [&] { return std::to_string(type); }))
            return injected;
        system_type_ = type;
        return S_OK;
    }

    bool is_dvbt() const { return network_type_ == CLSID_DVBTNetworkProvider && system_type_ == DVB_Terrestrial; }

private:
    GUID network_type_{};
    DVBSystemType system_type_ = DVB_Cable;
};

} // namespace

int locator_frequency_khz(ILocator *locator)
{
    const auto *simulated = dynamic_cast<Locator *>(locator);
    return simulated != nullptr ? simulated->frequency() : 0;
}

int tune_request_frequency_khz(ITuneRequest *request)
{
    const auto *simulated = dynamic_cast<TuneRequest *>(request);
    return simulated != nullptr && simulated->locator() != nullptr ? locator_frequency_khz(simulated->locator()) : 0;
}

bool is_dvbt_tuning_space(ITuningSpace *space)
{
    const auto *simulated = dynamic_cast<TuningSpace *>(space);
    return simulated != nullptr && simulated->is_dvbt();
}

IUnknown *new_tuning_space() { return new TuningSpace; }
IUnknown *new_locator() { return new Locator; }

} // namespace tuning
