// The filters: the DVB-T network provider, the driver's tuner and capture filters, the MPEG-2
// demultiplexer and the transport information filter, as the system's filter graph drives them.

#include "platform/tuning/com/level_property.h"
#include "platform/tuning/model/provider.h"
#include "platform/tuning/win32dll/objects.h"

namespace tuning {

namespace {

class EnumPins final : public ComObject<IEnumPins> {
public:
    EnumPins(FilterCore *filter, size_t next) : ComObject("EnumPins"), filter_(filter), next_(next)
    {
        filter_->self()->AddRef();
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin **pins, ULONG *fetched) override
    {
        if (pins == nullptr || (count != 1 && fetched == nullptr))
            return E_POINTER;
        if (const Result injected = observe("EnumPins.Next"))
            return injected;
        ULONG given = 0;
        for (; given < count && next_ < filter_->pin_count(); ++given, ++next_) {
            pins[given] = filter_->pin(next_);
            pins[given]->AddRef();
        }
        if (fetched != nullptr)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        next_ += count;
        return next_ <= filter_->pin_count() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins **pins) override
    {
        if (pins == nullptr)
            return E_POINTER;
        *pins = new EnumPins(filter_, next_);
        return S_OK;
    }

private:
    void final_release() override { filter_->self()->Release(); }

    FilterCore *filter_;
    size_t next_;
};

template <typename... Extra> class Filter : public ComObject<IBaseFilter, Extra...>, public FilterCore {
public:
    Filter(FilterKind kind, const CLSID &clsid)
        : ComObject<IBaseFilter, Extra...>(name_of(kind)), FilterCore(this, kind, clsid)
    {
    }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *id) override
    {
        if (id == nullptr)
            return E_POINTER;
        *id = clsid();
        return S_OK;
    }
    // The system never runs the graph; the states are kept for a graph that asks.
    HRESULT STDMETHODCALLTYPE Stop() override { return change_state("Stop", State_Stopped); }
    HRESULT STDMETHODCALLTYPE Pause() override { return change_state("Pause", State_Paused); }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return change_state("Run", State_Running); }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE *current) override
    {
        if (current == nullptr)
            return E_POINTER;
        *current = state();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock *source) override
    {
        set_clock(source);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock **source) override
    {
        if (source == nullptr)
            return E_POINTER;
        *source = clock();
        if (*source != nullptr)
            (*source)->AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins **pins) override
    {
        return give_new(pins, "EnumPins", name_of(kind()), [&] { return new tuning::EnumPins(this, 0); });
    }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin **found) override
    {
        if (id == nullptr || found == nullptr)
            return E_POINTER;
        *found = find_pin(id);
        if (*found == nullptr)
            return VFW_E_NOT_FOUND;
        (*found)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO *info) override
    {
        if (info == nullptr)
            return E_POINTER;
        lstrcpynW(info->achName, name().c_str(), MAX_FILTER_NAME);
        info->pGraph = graph();
        if (info->pGraph != nullptr)
            info->pGraph->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph *joined, LPCWSTR joined_name) override
    {
        if (const Result injected = observe(
                "JoinFilterGraph", [&] { return joined != nullptr ? narrow(joined_name) : std::string("(left)"); }))
            return injected;
        join(joined, joined_name);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR *) override { return E_NOTIMPL; }

protected:
    void final_release() override { let_go(); }

private:
    HRESULT change_state(const char *op, FILTER_STATE next)
    {
        if (const Result injected = observe(op, [&] { return std::string(name_of(kind())); }))
            return injected;
        set_state(next);
        return S_OK;
    }
};

class NetworkProvider final : public Filter<ITuner> {
public:
    explicit NetworkProvider(const CLSID &clsid) : Filter(FilterKind::network_provider, clsid) {}

    HRESULT STDMETHODCALLTYPE put_TuningSpace(ITuningSpace *space) override
    {
        if (const Result refused = provider_takes_tuning_space(space != nullptr && is_dvbt(space)))
            return refused;
        hold(space_, space);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE put_TuneRequest(ITuneRequest *request) override
    {
        const LONG frequency = request != nullptr ? carrier_frequency(request) : 0;
        return provider_tunes(space_ != nullptr, frequency, downstream(FilterKind::tuner) != nullptr);
    }

    HRESULT STDMETHODCALLTYPE get_TuningSpace(ITuningSpace **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumTuningSpaces(IEnumTuningSpaces **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TuneRequest(ITuneRequest **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Validate(ITuneRequest *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_PreferredComponentTypes(IComponentTypes **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_PreferredComponentTypes(IComponentTypes *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_SignalStrength(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TriggerSignalEvents(LONG) override { return E_NOTIMPL; }

private:
    // Both read through the tuning model's own interfaces, whoever implements them.
    static bool is_dvbt(ITuningSpace *space)
    {
        GUID network_type{};
        if (space->get__NetworkType(&network_type) != S_OK || network_type != CLSID_DVBTNetworkProvider)
            return false;
        IDVBTuningSpace *dvb = nullptr;
        if (space->QueryInterface(IID_IDVBTuningSpace, reinterpret_cast<void **>(&dvb)) != S_OK)
            return false;
        DVBSystemType system = DVB_Cable;
        const HRESULT hr = dvb->get_SystemType(&system);
        dvb->Release();
        return hr == S_OK && system == DVB_Terrestrial;
    }
    static LONG carrier_frequency(ITuneRequest *request)
    {
        ILocator *locator = nullptr;
        LONG frequency = 0;
        if (request->get_Locator(&locator) == S_OK && locator != nullptr) {
            if (locator->get_CarrierFrequency(&frequency) != S_OK)
                frequency = 0;
            locator->Release();
        }
        return frequency;
    }

    void final_release() override
    {
        hold(space_, nullptr);
        Filter::final_release();
    }

    ITuningSpace *space_ = nullptr;
};

// The driver's vendor property: a Set chooses the figure, a Get with the same selector reads it.
class TunerFilter final : public Filter<IKsPropertySet> {
public:
    explicit TunerFilter(const CLSID &clsid) : Filter(FilterKind::tuner, clsid) { tuner_filter_created(); }

    HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD data_size) override
    {
        return level_property_set(set, id, data, data_size);
    }
    HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID instance, DWORD instance_size, LPVOID data,
                                  DWORD data_size, DWORD *returned) override
    {
        return level_property_get(set, id, instance, instance_size, data, data_size, returned);
    }
    HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID, DWORD, DWORD *) override { return E_NOTIMPL; }

private:
    void final_release() override
    {
        Filter::final_release();
        tuner_filter_destroyed();
    }
};

} // namespace

FilterCore::FilterCore(IBaseFilter *self, FilterKind kind, const CLSID &clsid)
    : self_(self), kind_(kind), clsid_(clsid), layouts_(pins_of(kind))
{
    for (size_t index = 0; index < layouts_.size(); ++index)
        pins_.push_back(std::make_unique<Pin>(this, index));
}

void FilterCore::let_go()
{
    set_clock(nullptr);
    for (const auto &pin : pins_)
        pin->let_go();
}

Pin *FilterCore::find_pin(const WCHAR *name) const
{
    for (size_t index = 0; index < layouts_.size(); ++index)
        if (layouts_[index].name == name)
            return pins_[index].get();
    return nullptr;
}

FilterCore *FilterCore::downstream(FilterKind kind) const
{
    for (const auto &pin : pins_) {
        const auto *peer = dynamic_cast<Pin *>(pin->peer());
        if (!pin->layout().output || peer == nullptr)
            continue;
        if (peer->filter()->kind() == kind)
            return peer->filter();
        if (FilterCore *further = peer->filter()->downstream(kind))
            return further;
    }
    return nullptr;
}

void FilterCore::join(IFilterGraph *graph, const WCHAR *name)
{
    graph_ = graph;
    name_ = graph != nullptr && name != nullptr ? name : L"";
}

void FilterCore::set_clock(IReferenceClock *clock) { hold(clock_, clock); }

IUnknown *new_filter(FilterKind kind, const CLSID &clsid)
{
    switch (kind) {
    case FilterKind::network_provider: return static_cast<IBaseFilter *>(new NetworkProvider(clsid));
    case FilterKind::tuner: return static_cast<IBaseFilter *>(new TunerFilter(clsid));
    default: return static_cast<IBaseFilter *>(new Filter<>(kind, clsid));
    }
}

} // namespace tuning
