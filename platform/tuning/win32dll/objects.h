// The in-process server's COM classes: the simulated model behind the SDK's own interface layouts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/tuning/com/com_object.h"

// Interfaces only this server hands out. tuning::ComObject finds these by argument-dependent lookup,
// the interfaces being declared in the global namespace.
bool answers_to(REFIID iid, IClassFactory *);
bool answers_to(REFIID iid, IEnumMediaTypes *);

namespace tuning {

// The tuning model's interfaces are dual; this server is reached through their vtables only.
template <typename Interface> class NoAutomation : public Interface {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return E_NOTIMPL;
    }
};

class FilterCore;

// A pin lives as long as its filter and counts its references there, as DirectShow's pins do. A
// connected pin holds its peer, so a graph that never disconnects leaves both filters alive.
class Pin final : public IPin {
public:
    Pin(FilterCore *filter, size_t index);
    Pin(const Pin &) = delete;
    Pin &operator=(const Pin &) = delete;
    ~Pin();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Connect(IPin *receiver, const AM_MEDIA_TYPE *type) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin *connector, const AM_MEDIA_TYPE *type) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin **peer) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE *type) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO *info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION *direction) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *id) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE *type) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes **types) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin **, ULONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return E_NOTIMPL; }

    // Lets go of the peer it is connected to, when its filter's last reference goes.
    void let_go();
    const PinLayout &layout() const;
    FilterCore *filter() const { return filter_; }
    IPin *peer() const { return peer_; }
    std::string describe() const; // "filter name.pin name", for the call log

private:
    bool accepts(const AM_MEDIA_TYPE &type) const;
    HRESULT attach(IPin *peer, const AM_MEDIA_TYPE &type);

    FilterCore *filter_;
    size_t index_;
    IPin *peer_ = nullptr;
    AM_MEDIA_TYPE connection_type_{};
};

// What every filter of this server shares whatever interfaces it adds: its kind, class, pins,
// place in a graph and state. Reached from its pins, or from an interface pointer by dynamic_cast.
class FilterCore {
public:
    FilterCore(IBaseFilter *self, FilterKind kind, const CLSID &clsid);
    FilterCore(const FilterCore &) = delete;
    FilterCore &operator=(const FilterCore &) = delete;
    virtual ~FilterCore() = default;
    // Lets go of the clock and of every pin's peer, when the filter's last reference goes.
    void let_go();

    IBaseFilter *self() const { return self_; }
    FilterKind kind() const { return kind_; }
    const CLSID &clsid() const { return clsid_; }
    const std::vector<PinLayout> &layouts() const { return layouts_; }
    size_t pin_count() const { return pins_.size(); }
    Pin *pin(size_t index) const { return pins_[index].get(); }
    Pin *find_pin(const WCHAR *name) const;
    // The first downstream filter of the given kind along the output pins' connections.
    FilterCore *downstream(FilterKind kind) const;

    IFilterGraph *graph() const { return graph_; }
    const std::wstring &name() const { return name_; }
    void join(IFilterGraph *graph, const WCHAR *name);
    FILTER_STATE state() const { return state_; }
    void set_state(FILTER_STATE state) { state_ = state; }
    IReferenceClock *clock() const { return clock_; }
    void set_clock(IReferenceClock *clock);

private:
    IBaseFilter *self_;
    FilterKind kind_;
    CLSID clsid_;
    std::vector<PinLayout> layouts_;
    std::vector<std::unique_ptr<Pin>> pins_;
    IFilterGraph *graph_ = nullptr; // not held: the graph holds its filters
    std::wstring name_;
    FILTER_STATE state_ = State_Stopped;
    IReferenceClock *clock_ = nullptr;
};

// Each returns a new object holding one reference.
IUnknown *new_filter(FilterKind kind, const CLSID &clsid);
IUnknown *new_tuning_space();
IUnknown *new_locator();

} // namespace tuning
