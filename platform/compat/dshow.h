// DirectShow: filters, pins, the filter graph, the device enumerator and kernel-streaming
// property sets.
#pragma once

#include "platform/compat/com.h"

struct AM_MEDIA_TYPE;

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

#define VFW_E_ENUM_OUT_OF_SYNC ((HRESULT)0x80040203)
#define VFW_E_ALREADY_CONNECTED ((HRESULT)0x80040204)
#define VFW_E_NO_ACCEPTABLE_TYPES ((HRESULT)0x80040207)
#define VFW_E_INVALID_DIRECTION ((HRESULT)0x80040208)
#define VFW_E_NOT_FOUND ((HRESULT)0x80040216)
#define VFW_E_DUPLICATE_NAME ((HRESULT)0x8004022D)
#define VFW_S_DUPLICATE_NAME ((HRESULT)0x0004022D)
#define VFW_E_NOT_IN_GRAPH ((HRESULT)0x8004025F)

struct IPin : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION *pPinDir) = 0;
};

struct IEnumPins : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cPins, IPin **ppPins, ULONG *pcFetched) = 0;
};

struct IBaseFilter : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins **ppEnum) = 0;
};

struct IEnumFilters : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cFilters, IBaseFilter **ppFilter, ULONG *pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};

struct IFilterGraph : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter *pFilter, LPCWSTR pName) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter *pFilter) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters **ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectDirect(IPin *ppinOut, IPin *ppinIn, const AM_MEDIA_TYPE *pmt) = 0;
};

struct IGraphBuilder : IFilterGraph {};

struct ICreateDevEnum : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID clsidDeviceClass, IEnumMoniker **ppEnumMoniker,
                                                            DWORD dwFlags) = 0;
};

struct IKsPropertySet : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                                          DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData) = 0;
    virtual HRESULT STDMETHODCALLTYPE Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                                          DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData,
                                          DWORD *pcbReturned) = 0;
};

extern const IID IID_IPin;
extern const IID IID_IEnumPins;
extern const IID IID_IBaseFilter;
extern const IID IID_IEnumFilters;
extern const IID IID_IFilterGraph;
extern const IID IID_IGraphBuilder;
extern const IID IID_ICreateDevEnum;
extern const IID IID_IKsPropertySet;
extern const CLSID CLSID_FilterGraph;
extern const CLSID CLSID_SystemDeviceEnum;
extern const CLSID CLSID_MPEG2Demultiplexer;
extern const CLSID CLSID_DVBTNetworkProvider;
