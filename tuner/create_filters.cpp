// Creating the network provider, tuning space and demultiplexer, and finding the driver's filters.
#include <cstdio>

#include "tuner/tuner.h"

static const DWORD inproc = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

static int fail(const char *step, int result)
{
    fprintf(stderr, "create_filters: %s\n", step);
    return result;
}

static int attach_tuning_space()
{
    ITuner *tuner = nullptr;
    HRESULT hr = pNProvider->QueryInterface(IID_ITuner, reinterpret_cast<void **>(&tuner));
    if (hr != S_OK)
        return fail("IID_Tuner", hr);
    hr = tuner->put_TuningSpace(pTuningSpace);
    tuner->Release();
    if (hr != S_OK)
        return fail("put_TuningSpace", hr);
    return 0;
}

int create_filters()
{
    HRESULT hr = CoCreateInstance(CLSID_DVBTNetworkProvider, nullptr, inproc, IID_IBaseFilter,
                                  reinterpret_cast<void **>(&pNProvider));
    if (hr != S_OK)
        return fail("CLSID_DVBTNetworkProvider", hr);
    hr = CoCreateInstance(CLSID_DVBTuningSpace, nullptr, inproc, IID_IDVBTuningSpace,
                          reinterpret_cast<void **>(&pTuningSpace));
    if (hr != S_OK)
        return fail("CLSID_DVBTuningSpace", hr);
    // The DVB-T network type is identified by the network provider's own class id.
    hr = pTuningSpace->put__NetworkType(CLSID_DVBTNetworkProvider);
    if (hr != S_OK)
        return fail("put__NetworkType", hr);
    hr = pTuningSpace->put_SystemType(DVB_Terrestrial);
    if (hr != S_OK)
        return fail("put_SystemType", hr);
    const int attached = attach_tuning_space();
    if (attached != 0)
        return attached;

    pBDATuner = find_dev(L"SKNET HDTV BDA Digital Tuner_0", KSCATEGORY_BDA_NETWORK_TUNER);
    if (pBDATuner == nullptr)
        return fail("pBDATuner", 1);
    pBDACapture = find_dev(L"SKNET HDTV BDA Digital Capture_0", KSCATEGORY_BDA_RECEIVER_COMPONENT);
    if (pBDACapture == nullptr)
        return fail("pBDACapture", 1);
    pM2TIF = find_dev(L"BDA MPEG2 Transport Information Filter", KSCATEGORY_BDA_TRANSPORT_INFORMATION);
    if (pM2TIF == nullptr)
        return fail("pM2TIF", 1);

    hr = CoCreateInstance(CLSID_MPEG2Demultiplexer, nullptr, inproc, IID_IBaseFilter, reinterpret_cast<void **>(&pM2D));
    if (hr != S_OK)
        return fail("CLSID_MPEG2Demultiplexer", hr);
    return 0;
}
