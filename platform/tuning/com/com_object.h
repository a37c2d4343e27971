// The skin shared by every simulated COM object: reference counting, and a QueryInterface that
// answers exactly the interfaces the object implements. While a test watches, the test world
// counts the references and keeps each released object as a zombie, as Wine's test doubles never
// free themselves: a further Release is then counted, not undefined.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "platform/platform.h"
#include "platform/tuning/model/observer.h"

namespace tuning {

std::string iid_name(REFIID iid);
std::string clsid_name(REFCLSID clsid);
std::string narrow(const WCHAR *text);

// The identifiers an interface answers to: its own and those of the interfaces it extends.
bool answers_to(REFIID iid, IPropertyBag *);
bool answers_to(REFIID iid, IMoniker *);
bool answers_to(REFIID iid, IEnumMoniker *);
bool answers_to(REFIID iid, ICreateDevEnum *);
bool answers_to(REFIID iid, IPin *);
bool answers_to(REFIID iid, IEnumPins *);
bool answers_to(REFIID iid, IBaseFilter *);
bool answers_to(REFIID iid, IEnumFilters *);
bool answers_to(REFIID iid, IKsPropertySet *);
bool answers_to(REFIID iid, ITuner *);
bool answers_to(REFIID iid, ITuneRequest *);
bool answers_to(REFIID iid, IGraphBuilder *);
bool answers_to(REFIID iid, IDVBTuningSpace *);
bool answers_to(REFIID iid, IDVBTLocator *);

template <typename... Interfaces> class ComObject : public Interfaces... {
public:
    explicit ComObject(const char *kind)
        : id_(observer != nullptr ? observer->track(kind, [this] { delete this; }) : -1)
    {
    }
    ComObject(const ComObject &) = delete;
    ComObject &operator=(const ComObject &) = delete;
    virtual ~ComObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (const Result injected = observe("QueryInterface", [&] { return iid_name(iid); }))
            return injected;
        *object = find<Interfaces...>(iid);
        if (*object == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        return static_cast<ULONG>(id_ < 0 ? ++references_ : observer->add_ref(id_));
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const long left = id_ < 0 ? --references_ : observer->release(id_);
        if (left == 0) {
            final_release();
            if (id_ < 0)
                delete this;
        }
        return static_cast<ULONG>(left > 0 ? left : 0);
    }

protected:
    // Lets go of what the object holds, once its last reference has gone. Destructors only free
    // memory: a zombie's is run when the test world frees it, long after.
    virtual void final_release() {}

private:
    template <typename First, typename... Rest> void *find(REFIID iid)
    {
        if (iid == IID_IUnknown || answers_to(iid, static_cast<First *>(nullptr)))
            return static_cast<First *>(this);
        if constexpr (sizeof...(Rest) > 0)
            return find<Rest...>(iid);
        else
            return nullptr;
    }

    int id_; // the test world's, or -1 when nothing watches
    long references_ = 1;
};

// Keeps a reference to object (or none) in slot, letting go of the one held before.
template <typename Interface> void hold(Interface *&slot, std::type_identity_t<Interface> *object)
{
    if (object != nullptr)
        object->AddRef();
    if (slot != nullptr)
        slot->Release();
    slot = object;
}

// Answers an out-parameter with a new object made by make, unless the operation is made to fail.
template <typename Interface, typename Make>
HRESULT give_new(Interface **out, std::string_view op, const char *arg, Make make)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (const Result injected = observe(op, [arg] { return std::string(arg); }))
        return injected;
    *out = make();
    return S_OK;
}

// Hands a new object out through QueryInterface: a caller asking for an interface the object
// lacks gets E_NOINTERFACE and the object goes again.
inline HRESULT hand_out(IUnknown *created, REFIID iid, void **object)
{
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

} // namespace tuning
