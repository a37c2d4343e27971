// The simulated platform's COM classes, as their creators see them.
#pragma once

#include <vector>

#include "platform/tuning/com/com_object.h"

namespace tuning {

// What every simulated filter shares, whatever interfaces it adds: its kind and its pins'
// connections. Reached from an interface pointer with dynamic_cast.
class FilterCore {
public:
    explicit FilterCore(FilterKind kind);
    virtual ~FilterCore() = default;

    FilterKind kind() const { return kind_; }
    const std::vector<PinLayout> &pins() const { return pins_; }
    bool connected(size_t pin) const { return peers_[pin] != nullptr; }
    void connect(size_t pin, FilterCore *peer, size_t peer_pin);
    void disconnect_all();
    // The first downstream filter of the given kind along the output pins' connections.
    FilterCore *downstream(FilterKind kind);

private:
    FilterKind kind_;
    std::vector<PinLayout> pins_;
    std::vector<FilterCore *> peers_;
    std::vector<size_t> peer_pins_;
};

// A pin of a simulated filter: keeps its filter alive while it is held.
class Pin final : public ComObject<IPin> {
public:
    Pin(IBaseFilter *filter, FilterCore *core, size_t index);
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION *direction) override;

    IBaseFilter *filter() const { return filter_; }
    FilterCore *core() const { return core_; }
    size_t index() const { return index_; }

private:
    void final_release() override;

    IBaseFilter *filter_;
    FilterCore *core_;
    size_t index_;
};

// Each returns a new object holding one reference.
IUnknown *new_filter(FilterKind kind);
IUnknown *new_filter_graph();
IUnknown *new_device_enumerator();
IUnknown *new_tuning_space();
IUnknown *new_locator();

// Frequency held by a locator, or 0 when the object is not a simulated locator.
int locator_frequency_khz(ILocator *locator);
// Frequency of the locator attached to a tune request, or 0 when none.
int tune_request_frequency_khz(ITuneRequest *request);
// Whether the tuning space was given the DVB-T network type.
bool is_dvbt_tuning_space(ITuningSpace *space);

} // namespace tuning
