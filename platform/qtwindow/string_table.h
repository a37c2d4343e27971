// The string table of the program's resource script, generated from it at build time.
#pragma once

#include <span>

#include "platform/platform.h"

namespace qtwindow {

struct StringResource {
    UINT id;
    const wchar_t *text;
};

std::span<const StringResource> string_table();

} // namespace qtwindow
