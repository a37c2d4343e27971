// Pins and their media types. Pins connect only when their media, as the model names them, agree;
// the name travels in the media type's format block, so any caller's graph can carry it.
#include <cstring>

#include "platform/tuning/win32dll/objects.h"

bool answers_to(REFIID iid, IEnumMediaTypes *) { return iid == IID_IEnumMediaTypes; }

namespace tuning {

namespace {

const GUID FORMAT_SimulatedMedia = {0x7f794ecb, 0x9c4c, 0x4455, {0x85, 0x43, 0x55, 0x58, 0xe9, 0xc0, 0xe2, 0xef}};
const ULONG types_per_pin = 1;

// The media type a pin offers: its media as the model names it.
AM_MEDIA_TYPE media_type_of(const PinLayout &layout)
{
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Stream;
    type.subtype = MEDIASUBTYPE_None;
    type.formattype = FORMAT_SimulatedMedia;
    type.cbFormat = static_cast<ULONG>(layout.media.size());
    type.pbFormat = static_cast<BYTE *>(CoTaskMemAlloc(layout.media.size()));
    if (type.pbFormat == nullptr)
        type.cbFormat = 0;
    else
        std::memcpy(type.pbFormat, layout.media.data(), layout.media.size());
    return type;
}

void free_media_type(AM_MEDIA_TYPE &type)
{
    CoTaskMemFree(type.pbFormat);
    if (type.pUnk != nullptr)
        type.pUnk->Release();
    type = AM_MEDIA_TYPE{};
}

HRESULT copy_media_type(const AM_MEDIA_TYPE &from, AM_MEDIA_TYPE &to)
{
    to = from;
    if (from.cbFormat != 0) {
        to.pbFormat = static_cast<BYTE *>(CoTaskMemAlloc(from.cbFormat));
        if (to.pbFormat == nullptr) {
            to = AM_MEDIA_TYPE{};
            return E_OUTOFMEMORY;
        }
        std::memcpy(to.pbFormat, from.pbFormat, from.cbFormat);
    }
    if (to.pUnk != nullptr)
        to.pUnk->AddRef();
    return S_OK;
}

class EnumMediaTypes final : public ComObject<IEnumMediaTypes> {
public:
    EnumMediaTypes(const PinLayout &layout, ULONG next) : ComObject("EnumMediaTypes"), layout_(layout), next_(next) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE **types, ULONG *fetched) override
    {
        if (types == nullptr || (count != 1 && fetched == nullptr))
            return E_POINTER;
        ULONG given = 0;
        for (; given < count && next_ < types_per_pin; ++given, ++next_) {
            types[given] = static_cast<AM_MEDIA_TYPE *>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
            if (types[given] == nullptr)
                return E_OUTOFMEMORY;
            *types[given] = media_type_of(layout_);
        }
        if (fetched != nullptr)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        next_ += count;
        return next_ <= types_per_pin ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes **types) override
    {
        if (types == nullptr)
            return E_POINTER;
        *types = new EnumMediaTypes(layout_, next_);
        return S_OK;
    }

private:
    PinLayout layout_;
    ULONG next_;
};

} // namespace

Pin::Pin(FilterCore *filter, size_t index) : filter_(filter), index_(index) {}

Pin::~Pin() { free_media_type(connection_type_); }

void Pin::let_go()
{
    if (peer_ != nullptr)
        peer_->Release();
    peer_ = nullptr;
    free_media_type(connection_type_);
}

HRESULT STDMETHODCALLTYPE Pin::QueryInterface(REFIID iid, void **object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (const Result injected = observe("QueryInterface", [&] { return iid_name(iid); }))
        return injected;
    if (iid != IID_IUnknown && iid != IID_IPin)
        return E_NOINTERFACE;
    *object = static_cast<IPin *>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE Pin::AddRef() { return filter_->self()->AddRef(); }

ULONG STDMETHODCALLTYPE Pin::Release() { return filter_->self()->Release(); }

const PinLayout &Pin::layout() const { return filter_->layouts()[index_]; }

std::string Pin::describe() const { return narrow(filter_->name().c_str()) + "." + narrow(layout().name.c_str()); }

static std::string describe_pin(IPin *pin)
{
    const auto *ours = dynamic_cast<Pin *>(pin);
    return ours != nullptr ? ours->describe() : "?";
}

bool Pin::accepts(const AM_MEDIA_TYPE &type) const
{
    return type.majortype == MEDIATYPE_Stream && type.formattype == FORMAT_SimulatedMedia && type.pbFormat != nullptr &&
           std::string(reinterpret_cast<const char *>(type.pbFormat), type.cbFormat) == layout().media;
}

HRESULT Pin::attach(IPin *peer, const AM_MEDIA_TYPE &type)
{
    const HRESULT hr = copy_media_type(type, connection_type_);
    if (hr != S_OK)
        return hr;
    peer_ = peer;
    peer_->AddRef();
    return S_OK;
}

// As an output pin: offer the one media type to the receiver, which accepts it or not.
HRESULT STDMETHODCALLTYPE Pin::Connect(IPin *receiver, const AM_MEDIA_TYPE *type)
{
    if (const Result injected = observe("Connect", [&] { return describe() + " -> " + describe_pin(receiver); }))
        return injected;
    if (receiver == nullptr)
        return E_POINTER;
    if (!layout().output)
        return E_UNEXPECTED;
    if (peer_ != nullptr)
        return VFW_E_ALREADY_CONNECTED;
    if (filter_->state() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (type != nullptr && !accepts(*type))
        return VFW_E_TYPE_NOT_ACCEPTED;
    PIN_DIRECTION direction;
    if (receiver->QueryDirection(&direction) != S_OK || direction != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    AM_MEDIA_TYPE offered = media_type_of(layout());
    HRESULT hr = receiver->ReceiveConnection(this, &offered);
    if (hr == S_OK)
        hr = attach(receiver, offered);
    else
        hr = VFW_E_NO_ACCEPTABLE_TYPES;
    free_media_type(offered);
    return hr;
}

HRESULT STDMETHODCALLTYPE Pin::ReceiveConnection(IPin *connector, const AM_MEDIA_TYPE *type)
{
    if (const Result injected =
            observe("ReceiveConnection", [&] { return describe_pin(connector) + " -> " + describe(); }))
        return injected;
    if (connector == nullptr || type == nullptr)
        return E_POINTER;
    if (layout().output)
        return E_UNEXPECTED;
    if (peer_ != nullptr)
        return VFW_E_ALREADY_CONNECTED;
    if (filter_->state() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (!accepts(*type))
        return VFW_E_TYPE_NOT_ACCEPTED;
    PIN_DIRECTION direction;
    if (connector->QueryDirection(&direction) != S_OK || direction != PINDIR_OUTPUT)
        return VFW_E_INVALID_DIRECTION;
    return attach(connector, *type);
}

HRESULT STDMETHODCALLTYPE Pin::Disconnect()
{
    if (const Result injected = observe("Disconnect", [&] { return describe(); }))
        return injected;
    if (peer_ == nullptr)
        return S_FALSE;
    if (filter_->state() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    peer_->Release();
    peer_ = nullptr;
    free_media_type(connection_type_);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::ConnectedTo(IPin **peer)
{
    if (peer == nullptr)
        return E_POINTER;
    *peer = peer_;
    if (peer_ == nullptr)
        return VFW_E_NOT_CONNECTED;
    peer_->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::ConnectionMediaType(AM_MEDIA_TYPE *type)
{
    if (type == nullptr)
        return E_POINTER;
    *type = AM_MEDIA_TYPE{};
    if (peer_ == nullptr)
        return VFW_E_NOT_CONNECTED;
    return copy_media_type(connection_type_, *type);
}

HRESULT STDMETHODCALLTYPE Pin::QueryPinInfo(PIN_INFO *info)
{
    if (info == nullptr)
        return E_POINTER;
    info->pFilter = filter_->self();
    info->pFilter->AddRef();
    info->dir = layout().output ? PINDIR_OUTPUT : PINDIR_INPUT;
    lstrcpynW(info->achName, layout().name.c_str(), MAX_PIN_NAME);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::QueryDirection(PIN_DIRECTION *direction)
{
    if (direction == nullptr)
        return E_POINTER;
    if (const Result injected = observe("QueryDirection", [&] { return narrow(layout().name.c_str()); }))
        return injected;
    *direction = layout().output ? PINDIR_OUTPUT : PINDIR_INPUT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::QueryId(LPWSTR *id)
{
    if (id == nullptr)
        return E_POINTER;
    const size_t bytes = (layout().name.size() + 1) * sizeof(WCHAR);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*id == nullptr)
        return E_OUTOFMEMORY;
    std::memcpy(*id, layout().name.c_str(), bytes);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::QueryAccept(const AM_MEDIA_TYPE *type)
{
    if (type == nullptr)
        return E_POINTER;
    return accepts(*type) ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE Pin::EnumMediaTypes(IEnumMediaTypes **types)
{
    if (types == nullptr)
        return E_POINTER;
    *types = new tuning::EnumMediaTypes(layout(), 0);
    return S_OK;
}

} // namespace tuning
