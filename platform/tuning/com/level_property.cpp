#include "platform/tuning/com/level_property.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/tuning/model/observer.h"

namespace tuning {

namespace {

DWORD read_word(const void *bytes)
{
    DWORD word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

std::string hex(DWORD selector)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(selector));
    return text;
}

HRESULT validate(REFGUID set, DWORD id, LPVOID data, DWORD data_size)
{
    if (set != PROPSETID_TunerLevel)
        return E_PROP_SET_UNSUPPORTED;
    if (id != tuner_level::property_id)
        return E_PROP_ID_UNSUPPORTED;
    if (data == nullptr || data_size < 4)
        return E_INVALIDARG;
    return S_OK;
}

} // namespace

HRESULT level_property_set(REFGUID set, DWORD id, LPVOID data, DWORD data_size)
{
    const DWORD selector = data != nullptr && data_size >= 4 ? read_word(data) : 0;
    if (const Result injected = observe("Set", [&] { return hex(selector); }))
        return injected;
    if (const HRESULT invalid = validate(set, id, data, data_size))
        return invalid;
    return property_set(selector);
}

HRESULT level_property_get(REFGUID set, DWORD id, LPVOID instance, DWORD instance_size, LPVOID data, DWORD data_size,
                           DWORD *returned)
{
    const DWORD selector = instance != nullptr && instance_size >= 4 ? read_word(instance) : 0;
    if (returned != nullptr)
        *returned = 0;
    if (const Result injected = observe("Get", [&] { return hex(selector); }))
        return injected;
    if (const HRESULT invalid = validate(set, id, data, data_size))
        return invalid;
    if (instance == nullptr || instance_size < 4 || returned == nullptr)
        return E_INVALIDARG;
    std::uint32_t value = 0;
    std::uint32_t bytes = 0;
    if (const Result result = property_get(selector, value, bytes))
        return result;
    std::memcpy(data, &value, bytes < 4 ? bytes : 4);
    *returned = bytes;
    return S_OK;
}

} // namespace tuning
