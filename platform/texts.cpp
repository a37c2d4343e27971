#include <cstdarg>
#include <cstdio>

#include "platform/texts.h"

std::string formatted(const char *pattern, ...)
{
    std::va_list values;
    va_start(values, pattern);
    const int length = std::vsnprintf(nullptr, 0, pattern, values);
    va_end(values);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    va_start(values, pattern);
    std::vsnprintf(text.data(), text.size() + 1, pattern, values);
    va_end(values);
    return text;
}
