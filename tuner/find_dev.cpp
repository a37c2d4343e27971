// Finding a device filter by its friendly name in one device category.
#include <cstdio>
#include <cwchar>

#include "tuner/tuner.h"

static bool friendly_name_is(IPropertyBag *bag, const WCHAR *name)
{
    VARIANT value;
    VariantInit(&value);
    const bool matches = bag->Read(L"FriendlyName", &value, nullptr) == S_OK && value.vt == VT_BSTR &&
                         value.bstrVal != nullptr && wcscmp(value.bstrVal, name) == 0;
    VariantClear(&value);
    return matches;
}

IBaseFilter *find_dev(const WCHAR *name, REFGUID category)
{
    ICreateDevEnum *devices = nullptr;
    if (CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                         IID_ICreateDevEnum, reinterpret_cast<void **>(&devices)) != S_OK) {
        fprintf(stderr, "find_dev: CoCreateInstance\n");
        return nullptr;
    }
    IEnumMoniker *monikers = nullptr;
    // An empty category answers S_FALSE and hands out no enumerator.
    if (devices->CreateClassEnumerator(category, &monikers, 0) != S_OK) {
        fprintf(stderr, "find_dev: CreateClassEnumerator\n");
        devices->Release();
        return nullptr;
    }

    IBaseFilter *found = nullptr;
    IMoniker *moniker = nullptr;
    while (found == nullptr && monikers->Next(1, &moniker, nullptr) == S_OK) {
        IPropertyBag *bag = nullptr;
        if (moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void **>(&bag)) != S_OK) {
            moniker->Release();
            break;
        }
        const bool matches = friendly_name_is(bag, name);
        bag->Release();
        // A matching device that will not bind leaves the search to the next one.
        if (matches &&
            moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void **>(&found)) != S_OK)
            found = nullptr;
        moniker->Release();
    }
    monikers->Release();
    devices->Release();
    return found;
}
