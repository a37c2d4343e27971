// The tuner driver's vendor property as both COM skins answer it: a Set chooses the figure, a Get
// with the same selector as instance data reads it.
#pragma once

#include "platform/platform.h"

namespace tuning {

HRESULT level_property_set(REFGUID set, DWORD id, LPVOID data, DWORD data_size);
HRESULT level_property_get(REFGUID set, DWORD id, LPVOID instance, DWORD instance_size, LPVOID data, DWORD data_size,
                           DWORD *returned);

} // namespace tuning
