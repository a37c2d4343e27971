// Bringing the tuner graph up and taking it down again.
#include <cstdio>

#include "tuner/tuner.h"

IGraphBuilder *pGraph = nullptr;
IBaseFilter *pNProvider = nullptr;
IDVBTuningSpace *pTuningSpace = nullptr;
IBaseFilter *pBDATuner = nullptr;
IBaseFilter *pBDACapture = nullptr;
IBaseFilter *pM2TIF = nullptr;
IBaseFilter *pM2D = nullptr;

// Successful CoInitialize calls not yet undone by release_tuner.
static int com_initialisations = 0;

int init_tuner()
{
    if (pending_settings.channel < lowest_channel || pending_settings.channel > highest_channel(pending_settings.catv))
        return 0;

    const HRESULT hr = CoInitialize(nullptr);
    if (hr != S_OK && hr != S_FALSE) {
        fprintf(stderr, "CoInitialize\n");
        return 0;
    }
    ++com_initialisations;

    if (CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                         reinterpret_cast<void **>(&pGraph)) == S_OK &&
        build_graph() == 1 && tune_channel(pending_settings.channel, pending_settings.catv) == 0)
        return 1;

    release_tuner();
    return 0;
}

int build_graph()
{
    if (create_filters() != 0)
        return 0;
    if (add_filters(pGraph) != 0)
        return 0;
    if (connect_filters(pBDATuner, pGraph, pNProvider) == 0 || connect_filters(pBDACapture, pGraph, pBDATuner) == 0 ||
        connect_filters(pM2D, pGraph, pBDACapture) == 0 || connect_filters(pM2TIF, pGraph, pM2D) == 0)
        return 0;
    return 1;
}

int add_filters(IGraphBuilder *graph)
{
    const struct {
        IBaseFilter *filter;
        const WCHAR *graph_name;
        const char *reference;
    } filters[] = {
        {pNProvider, L"Microsoft DVB-T Network Provider", "pNProvider"},
        {pBDATuner, L"SKNET HDTV BDA Digital Tuner_0", "pBDATuner"},
        {pBDACapture, L"SKNET HDTV BDA Digital Capture_0", "pBDACapture"},
        {pM2D, L"MPEG-2 Demultiplexer", "pM2D"},
        {pM2TIF, L"BDA MPEG-2 Transport Information Filter", "pM2TIF"},
    };
    for (const auto &f : filters) {
        const HRESULT hr = graph->AddFilter(f.filter, f.graph_name);
        if (hr != S_OK) {
            fprintf(stderr, "add_filters: %s\n", f.reference);
            return hr;
        }
    }
    return 0;
}

int clear_graph()
{
    IFilterGraph *filter_graph = nullptr;
    if (pGraph->QueryInterface(IID_IFilterGraph, reinterpret_cast<void **>(&filter_graph)) != S_OK) {
        fprintf(stderr, "clear_graph: IID_IFilterGraph\n");
        return 0;
    }
    IEnumFilters *filters = nullptr;
    if (filter_graph->EnumFilters(&filters) != S_OK) {
        filter_graph->Release();
        fprintf(stderr, "clear_graph: EnumFilters\n");
        return 0;
    }
    IBaseFilter *filter = nullptr;
    while (filters->Next(1, &filter, nullptr) == S_OK) {
        // A removal invalidates the enumeration, so start again from the first remaining filter.
        // A filter the graph refuses to remove is passed over, so the loop always ends.
        const HRESULT removed = filter_graph->RemoveFilter(filter);
        filter->Release();
        if (removed == S_OK)
            filters->Reset();
    }
    filters->Release();
    filter_graph->Release();
    return 1;
}

template <typename Interface> static void release_reference(Interface *&reference)
{
    if (reference != nullptr) {
        reference->Release();
        reference = nullptr;
    }
}

void release_tuner()
{
    if (pGraph != nullptr) {
        clear_graph();
        release_reference(pGraph);
    }
    release_reference(pNProvider);
    release_reference(pBDATuner);
    release_reference(pBDACapture);
    release_reference(pM2TIF);
    release_reference(pM2D);
    release_reference(pTuningSpace);
    for (; com_initialisations > 0; --com_initialisations)
        CoUninitialize();
}
