// The channel plan (6 MHz raster) and submitting a tune request through the network provider.
#include <cstdio>

#include "tuner/tuner.h"

int channel_frequency_khz(int channel, int catv)
{
    if (!is_cable(catv))
        return 6000 * channel + 395000;
    if (channel <= 22)
        return 6000 * channel + 33000;
    return 6000 * channel + 87000;
}

bool channel_at_frequency(int frequency_khz, int &channel, int &catv)
{
    // A receiver may tune a little off the plan: ISDB-T's centre lies 1/7 MHz above it.
    const int quarter_width_khz = 1500;
    for (int band = 0; band <= 1; ++band) {
        for (int c = lowest_channel; c <= 63; ++c) {
            const int offset = frequency_khz - channel_frequency_khz(c, band);
            if (offset >= -quarter_width_khz && offset <= quarter_width_khz) {
                channel = c;
                catv = band;
                return true;
            }
        }
    }
    return false;
}

int tune_channel(int channel, int catv)
{
    // Terrestrial 63 passes here; the settings panel narrows the terrestrial band to 62.
    if (channel < lowest_channel || channel > 63)
        return 1;
    return request_tuning(channel_frequency_khz(channel, catv));
}

static HRESULT submit(ITuneRequest *request)
{
    ITuner *tuner = nullptr;
    HRESULT hr = pNProvider->QueryInterface(IID_ITuner, reinterpret_cast<void **>(&tuner));
    if (hr != S_OK) {
        fprintf(stderr, "request_tuning: IID_ITuner\n");
        return hr;
    }
    hr = tuner->put_TuneRequest(request);
    tuner->Release();
    if (hr != S_OK)
        fprintf(stderr, "request_tuning: put_TuneRequest\n");
    return hr;
}

int request_tuning(int frequency_khz)
{
    IDVBTLocator *locator = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_DVBTLocator, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                  IID_IDVBTLocator, reinterpret_cast<void **>(&locator));
    if (hr != S_OK) {
        fprintf(stderr, "request_tuning: CLSID_DVBTLocator\n");
        return hr;
    }
    ITuneRequest *request = nullptr;
    hr = pTuningSpace->CreateTuneRequest(&request);
    if (hr != S_OK) {
        locator->Release();
        fprintf(stderr, "request_tuning: CreateTuneRequest\n");
        return hr;
    }

    hr = locator->put_CarrierFrequency(frequency_khz);
    if (hr != S_OK) {
        fprintf(stderr, "request_tuning: put_CarrierFrequency\n");
    } else {
        hr = request->put_Locator(locator);
        if (hr != S_OK)
            fprintf(stderr, "request_tuning: put_Locator\n");
        else
            hr = submit(request);
    }
    request->Release();
    locator->Release();
    return hr;
}
