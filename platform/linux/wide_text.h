// Bytes from and for the operating system (arguments, file names) as wide text. Bytes that are
// not UTF-8 survive the round trip, each carried as one code point from U+DC80 to U+DCFF.
#pragma once

#include <string>
#include <string_view>

namespace linux_platform {

std::wstring from_system_bytes(std::string_view bytes);
std::string to_system_bytes(std::wstring_view text);

} // namespace linux_platform
