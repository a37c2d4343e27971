// Names for identifiers and strings, for the call log and the fault plan.
#include <cwchar>

#include "platform/tuning/com/com_object.h"

namespace tuning {

namespace {

struct Named {
    const GUID &guid;
    const char *name;
};

const Named interfaces[] = {
    {IID_IUnknown, "IID_IUnknown"},
    {IID_IPropertyBag, "IID_IPropertyBag"},
    {IID_IMoniker, "IID_IMoniker"},
    {IID_IEnumMoniker, "IID_IEnumMoniker"},
    {IID_IPin, "IID_IPin"},
    {IID_IEnumPins, "IID_IEnumPins"},
    {IID_IBaseFilter, "IID_IBaseFilter"},
    {IID_IEnumFilters, "IID_IEnumFilters"},
    {IID_IFilterGraph, "IID_IFilterGraph"},
    {IID_IGraphBuilder, "IID_IGraphBuilder"},
    {IID_ICreateDevEnum, "IID_ICreateDevEnum"},
    {IID_IKsPropertySet, "IID_IKsPropertySet"},
    {IID_ILocator, "IID_ILocator"},
    {IID_IDigitalLocator, "IID_IDigitalLocator"},
    {IID_IDVBTLocator, "IID_IDVBTLocator"},
    {IID_ITuneRequest, "IID_ITuneRequest"},
    {IID_ITuningSpace, "IID_ITuningSpace"},
    {IID_IDVBTuningSpace, "IID_IDVBTuningSpace"},
    {IID_ITuner, "IID_ITuner"},
};

const Named classes[] = {
    {CLSID_FilterGraph, "CLSID_FilterGraph"},
    {CLSID_SystemDeviceEnum, "CLSID_SystemDeviceEnum"},
    {CLSID_DVBTNetworkProvider, "CLSID_DVBTNetworkProvider"},
    {CLSID_DVBTuningSpace, "CLSID_DVBTuningSpace"},
    {CLSID_DVBTLocator, "CLSID_DVBTLocator"},
    {CLSID_MPEG2Demultiplexer, "CLSID_MPEG2Demultiplexer"},
};

template <size_t Count> std::string name_in(const Named (&table)[Count], REFGUID guid)
{
    for (const Named &entry : table)
        if (entry.guid == guid)
            return entry.name;
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-...}", static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3);
    return text;
}

} // namespace

std::string iid_name(REFIID iid) { return name_in(interfaces, iid); }

std::string clsid_name(REFCLSID clsid) { return name_in(classes, clsid); }

std::string narrow(const WCHAR *text)
{
    std::string narrowed;
    for (; text != nullptr && *text != 0; ++text)
        narrowed += *text < 128 ? static_cast<char>(*text) : '?';
    return narrowed;
}

// Interfaces answer to their own identifier and those of the interfaces they extend.
bool answers_to(REFIID iid, IPropertyBag *) { return iid == IID_IPropertyBag; }
bool answers_to(REFIID iid, IMoniker *) { return iid == IID_IMoniker; }
bool answers_to(REFIID iid, IEnumMoniker *) { return iid == IID_IEnumMoniker; }
bool answers_to(REFIID iid, ICreateDevEnum *) { return iid == IID_ICreateDevEnum; }
bool answers_to(REFIID iid, IPin *) { return iid == IID_IPin; }
bool answers_to(REFIID iid, IEnumPins *) { return iid == IID_IEnumPins; }
bool answers_to(REFIID iid, IBaseFilter *) { return iid == IID_IBaseFilter; }
bool answers_to(REFIID iid, IEnumFilters *) { return iid == IID_IEnumFilters; }
bool answers_to(REFIID iid, IKsPropertySet *) { return iid == IID_IKsPropertySet; }
bool answers_to(REFIID iid, ITuner *) { return iid == IID_ITuner; }
bool answers_to(REFIID iid, ITuneRequest *) { return iid == IID_ITuneRequest; }
bool answers_to(REFIID iid, IGraphBuilder *) { return iid == IID_IGraphBuilder || iid == IID_IFilterGraph; }
bool answers_to(REFIID iid, IDVBTuningSpace *) { return iid == IID_IDVBTuningSpace || iid == IID_ITuningSpace; }
bool answers_to(REFIID iid, IDVBTLocator *)
{
    return iid == IID_IDVBTLocator || iid == IID_IDigitalLocator || iid == IID_ILocator;
}

} // namespace tuning
