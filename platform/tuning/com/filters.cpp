// The simulated filters: network provider, the driver's tuner and capture filters, the
// demultiplexer and the transport information filter, with their pins.

#include "platform/tuning/com/level_property.h"
#include "platform/tuning/com/objects.h"
#include "platform/tuning/model/provider.h"

namespace tuning {

namespace {

class EnumPins final : public ComObject<IEnumPins> {
public:
    EnumPins(IBaseFilter *filter, FilterCore *core) : ComObject("EnumPins"), filter_(filter), core_(core)
    {
        filter_->AddRef();
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin **pins, ULONG *fetched) override
    {
        if (pins == nullptr || (count != 1 && fetched == nullptr))
            return E_POINTER;
        ULONG given = 0;
        if (const Result injected = observe("EnumPins.Next"))
            return injected;
        for (; given < count && next_ < core_->pins().size(); ++given, ++next_)
            pins[given] = new Pin(filter_, core_, next_);
        if (fetched != nullptr)
            *fetched = given;
        if (given < count)
            pins[given] = nullptr;
        return given == count ? S_OK : S_FALSE;
    }

private:
    void final_release() override { filter_->Release(); }

    IBaseFilter *filter_;
    FilterCore *core_;
    size_t next_ = 0;
};

template <typename... Extra> class Filter : public ComObject<IBaseFilter, Extra...>, public FilterCore {
public:
    explicit Filter(FilterKind kind) : ComObject<IBaseFilter, Extra...>(name_of(kind)), FilterCore(kind) {}

    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins **pins) override
    {
        return give_new(pins, "EnumPins", name_of(kind()), [&] { return new tuning::EnumPins(this, this); });
    }

protected:
    void final_release() override { disconnect_all(); }
};

class NetworkProvider final : public Filter<ITuner> {
public:
    NetworkProvider() : Filter(FilterKind::network_provider) {}

    HRESULT STDMETHODCALLTYPE put_TuningSpace(ITuningSpace *space) override
    {
        if (const Result refused = provider_takes_tuning_space(space != nullptr && is_dvbt_tuning_space(space)))
            return refused;
        hold(space_, space);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE put_TuneRequest(ITuneRequest *request) override
    {
        const int frequency = request != nullptr ? tune_request_frequency_khz(request) : 0;
        return provider_tunes(space_ != nullptr, frequency, downstream(FilterKind::tuner) != nullptr);
    }

private:
    void final_release() override
    {
        hold(space_, nullptr);
        Filter::final_release();
    }

    ITuningSpace *space_ = nullptr;
};

class TunerFilter final : public Filter<IKsPropertySet> {
public:
    TunerFilter() : Filter(FilterKind::tuner) { tuner_filter_created(); }

    HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD data_size) override
    {
        return level_property_set(set, id, data, data_size);
    }
    HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID instance, DWORD instance_size, LPVOID data,
                                  DWORD data_size, DWORD *returned) override
    {
        return level_property_get(set, id, instance, instance_size, data, data_size, returned);
    }

private:
    void final_release() override
    {
        Filter::final_release();
        tuner_filter_destroyed();
    }
};

} // namespace

FilterCore::FilterCore(FilterKind kind)
    : kind_(kind), pins_(pins_of(kind)), peers_(pins_.size(), nullptr), peer_pins_(pins_.size(), 0)
{
}

void FilterCore::connect(size_t pin, FilterCore *peer, size_t peer_pin)
{
    peers_[pin] = peer;
    peer_pins_[pin] = peer_pin;
    peer->peers_[peer_pin] = this;
    peer->peer_pins_[peer_pin] = pin;
}

void FilterCore::disconnect_all()
{
    for (size_t pin = 0; pin < pins_.size(); ++pin) {
        if (peers_[pin] != nullptr)
            peers_[pin]->peers_[peer_pins_[pin]] = nullptr;
        peers_[pin] = nullptr;
    }
}

FilterCore *FilterCore::downstream(FilterKind kind)
{
    for (size_t pin = 0; pin < pins_.size(); ++pin) {
        if (!pins_[pin].output || peers_[pin] == nullptr)
            continue;
        if (peers_[pin]->kind() == kind)
            return peers_[pin];
        if (FilterCore *further = peers_[pin]->downstream(kind))
            return further;
    }
    return nullptr;
}

Pin::Pin(IBaseFilter *filter, FilterCore *core, size_t index)
    : ComObject("Pin"), filter_(filter), core_(core), index_(index)
{
    filter_->AddRef();
}

void Pin::final_release() { filter_->Release(); }

HRESULT STDMETHODCALLTYPE Pin::QueryDirection(PIN_DIRECTION *direction)
{
    if (direction == nullptr)
        return E_POINTER;
    if (const Result injected = observe("QueryDirection", [&] { return narrow(core_->pins()[index_].name.c_str()); }))
        return injected;
    *direction = core_->pins()[index_].output ? PINDIR_OUTPUT : PINDIR_INPUT;
    return S_OK;
}

IUnknown *new_filter(FilterKind kind)
{
    switch (kind) {
    case FilterKind::network_provider: return static_cast<IBaseFilter *>(new NetworkProvider);
    case FilterKind::tuner: return static_cast<IBaseFilter *>(new TunerFilter);
    default: return static_cast<IBaseFilter *>(new Filter<>(kind));
    }
}

} // namespace tuning
