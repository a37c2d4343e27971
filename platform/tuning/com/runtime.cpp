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

// Strings are counted live objects too, so a VARIANT that is never cleared shows up as a leak.
struct StringHeader {
    int id;
};

} // namespace

HRESULT CoInitialize(LPVOID)
{
    tuning::ensure_started();
    if (const tuning::Result injected = tuning::check_runtime("CoInitialize"))
        return injected;
    return tuning::co_initialize();
}

void CoUninitialize()
{
    tuning::check_runtime("CoUninitialize");
    tuning::co_uninitialize();
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID *object)
{
    tuning::ensure_started();
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (const tuning::Result injected = tuning::check_runtime("CoCreateInstance", tuning::clsid_name(clsid)))
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
    new (block) StringHeader{tuning::track("BSTR")};
    auto *string = reinterpret_cast<OLECHAR *>(block + sizeof(StringHeader));
    std::wmemcpy(string, text, length + 1);
    return string;
}

void SysFreeString(BSTR string)
{
    if (string == nullptr)
        return;
    auto *block = reinterpret_cast<unsigned char *>(string) - sizeof(StringHeader);
    tuning::release(reinterpret_cast<StringHeader *>(block)->id);
    delete[] block;
}
