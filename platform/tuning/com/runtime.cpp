// The simulated COM runtime: apartment initialisation, object creation over a class table,
// variants and strings.
#include <cwchar>

#include "platform/tuning/com/objects.h"

namespace {

struct Class {
    const CLSID &clsid;
    IUnknown *(*create)();
};

IUnknown *new_network_provider() { return tuning::new_filter(tuning::FilterKind::network_provider); }
IUnknown *new_demultiplexer() { return tuning::new_filter(tuning::FilterKind::demultiplexer); }

const Class classes[] = {
    {CLSID_FilterGraph, tuning::new_filter_graph},     {CLSID_SystemDeviceEnum, tuning::new_device_enumerator},
    {CLSID_DVBTNetworkProvider, new_network_provider}, {CLSID_DVBTuningSpace, tuning::new_tuning_space},
    {CLSID_DVBTLocator, tuning::new_locator},          {CLSID_MPEG2Demultiplexer, new_demultiplexer},
};

// While a test watches, strings are counted live objects too, so a VARIANT that is never cleared
// shows up as a leak; a freed one stays a zombie, as the objects do.
struct StringHeader {
    int id; // the test world's, or -1 when nothing watches
};

} // namespace

HRESULT CoInitialize(LPVOID)
{
    tuning::ensure_started();
    if (const tuning::Result injected = tuning::observe_runtime("CoInitialize"))
        return injected;
    return tuning::co_initialize();
}

void CoUninitialize()
{
    tuning::observe_runtime("CoUninitialize");
    tuning::co_uninitialize();
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID *object)
{
    tuning::ensure_started();
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (const tuning::Result injected =
            tuning::observe_runtime("CoCreateInstance", [&] { return tuning::clsid_name(clsid); }))
        return injected;
    if (tuning::apartment_initialisations() == 0)
        return CO_E_NOTINITIALIZED;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    if ((context & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    for (const Class &entry : classes)
        if (entry.clsid == clsid)
            return tuning::hand_out(entry.create(), iid, object);
    return REGDB_E_CLASSNOTREG;
}

void VariantInit(VARIANT *value)
{
    value->vt = VT_EMPTY;
    value->wReserved1 = value->wReserved2 = value->wReserved3 = 0;
    value->lVal = 0;
}

HRESULT VariantClear(VARIANT *value)
{
    if (value->vt == VT_BSTR)
        SysFreeString(value->bstrVal);
    VariantInit(value);
    return S_OK;
}

BSTR SysAllocString(const OLECHAR *text)
{
    if (text == nullptr)
        return nullptr;
    const size_t length = std::wcslen(text);
    auto *block = new unsigned char[sizeof(StringHeader) + (length + 1) * sizeof(OLECHAR)];
    new (block)
        StringHeader{tuning::observer != nullptr ? tuning::observer->track("BSTR", [block] { delete[] block; }) : -1};
    auto *string = reinterpret_cast<OLECHAR *>(block + sizeof(StringHeader));
    std::wmemcpy(string, text, length + 1);
    return string;
}

void SysFreeString(BSTR string)
{
    if (string == nullptr)
        return;
    auto *block = reinterpret_cast<unsigned char *>(string) - sizeof(StringHeader);
    const int id = reinterpret_cast<StringHeader *>(block)->id;
    if (id >= 0)
        tuning::observer->release(id);
    else
        delete[] block;
}
