// Connecting two filters of the graph pin to pin, with no intermediate filters.
#include <cstdio>

#include "tuner/tuner.h"

int connect_filters(IBaseFilter *downstream, IGraphBuilder *graph, IBaseFilter *upstream)
{
    IEnumPins *pins = nullptr;
    if (downstream->EnumPins(&pins) != S_OK) {
        fprintf(stderr, "connect_filters: EnumPins\n");
        return 0;
    }
    IPin *pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION direction;
        if (pin->QueryDirection(&direction) != S_OK) {
            fprintf(stderr, "connect_filters: QueryDirection\n");
            pin->Release();
            pins->Release();
            return 0;
        }
        if (direction == PINDIR_INPUT && connect_filters_directly(upstream, graph, pin) == 0) {
            pin->Release();
            pins->Release();
            return 1;
        }
        pin->Release();
    }
    pins->Release();
    return 0;
}

int connect_filters_directly(IBaseFilter *upstream, IGraphBuilder *graph, IPin *input_pin)
{
    IEnumPins *pins = nullptr;
    if (upstream->EnumPins(&pins) != S_OK) {
        fprintf(stderr, "connect_filters_directly: EnumPins\n");
        return 1;
    }
    IPin *pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION direction;
        if (pin->QueryDirection(&direction) != S_OK) {
            fprintf(stderr, "connect_filters_directly: QueryDirection\n");
            pin->Release();
            pins->Release();
            return 1;
        }
        if (direction == PINDIR_OUTPUT && graph->ConnectDirect(pin, input_pin, nullptr) == S_OK) {
            pin->Release();
            pins->Release();
            return 0;
        }
        pin->Release();
    }
    pins->Release();
    return 1;
}
