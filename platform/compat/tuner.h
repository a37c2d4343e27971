// The BDA tuning model: tuning spaces, tune requests, locators and the network provider's tuner.
#pragma once

#include "platform/compat/com.h"

enum DVBSystemType {
    DVB_Cable = 0,
    DVB_Terrestrial = 1,
    DVB_Satellite = 2,
    ISDB_Terrestrial = 3,
    ISDB_Satellite = 4,
};

struct ILocator : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE put_CarrierFrequency(LONG Frequency) = 0;
};
struct IDigitalLocator : ILocator {};
struct IDVBTLocator : IDigitalLocator {};

struct ITuneRequest : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE put_Locator(ILocator *Locator) = 0;
};

struct ITuningSpace : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE put__NetworkType(REFCLSID NetworkTypeGuid) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateTuneRequest(ITuneRequest **TuneRequest) = 0;
};

struct IDVBTuningSpace : ITuningSpace {
    virtual HRESULT STDMETHODCALLTYPE put_SystemType(DVBSystemType SysType) = 0;
};

struct ITuner : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE put_TuningSpace(ITuningSpace *TuningSpace) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TuneRequest(ITuneRequest *TuneRequest) = 0;
};

extern const IID IID_ILocator;
extern const IID IID_IDigitalLocator;
extern const IID IID_IDVBTLocator;
extern const IID IID_ITuneRequest;
extern const IID IID_ITuningSpace;
extern const IID IID_IDVBTuningSpace;
extern const IID IID_ITuner;
extern const CLSID CLSID_DVBTuningSpace;
extern const CLSID CLSID_DVBTLocator;
