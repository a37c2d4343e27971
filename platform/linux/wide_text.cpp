#include "platform/linux/wide_text.h"

namespace linux_platform {

namespace {

const wchar_t escape_base = 0xDC00;

// The length of the UTF-8 sequence at bytes[at], or 0 when it is not a valid, shortest one.
std::size_t sequence_length(std::string_view bytes, std::size_t at, char32_t &code_point)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        code_point = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code_point = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code_point = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code_point = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code_point = code_point << 6 | (byte(at + i) & 0x3F);
    }
    const bool surrogate = code_point >= 0xD800 && code_point <= 0xDFFF;
    if (code_point < minimum || code_point > 0x10FFFF || surrogate)
        return 0;
    return length;
}

} // namespace

std::wstring from_system_bytes(std::string_view bytes)
{
    std::wstring text;
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t code_point = 0;
        if (const std::size_t length = sequence_length(bytes, at, code_point)) {
            text += static_cast<wchar_t>(code_point);
            at += length;
        } else {
            text += static_cast<wchar_t>(escape_base + static_cast<unsigned char>(bytes[at]));
            ++at;
        }
    }
    return text;
}

std::string to_system_bytes(std::wstring_view text)
{
    std::string bytes;
    for (const wchar_t c : text) {
        const auto code_point = static_cast<char32_t>(c);
        if (code_point >= escape_base + 0x80 && code_point <= escape_base + 0xFF) {
            bytes += static_cast<char>(code_point - escape_base);
        } else if (code_point < 0x80) {
            bytes += static_cast<char>(code_point);
        } else if (code_point < 0x800) {
            bytes += static_cast<char>(0xC0 | code_point >> 6);
            bytes += static_cast<char>(0x80 | (code_point & 0x3F));
        } else if (code_point < 0x10000) {
            bytes += static_cast<char>(0xE0 | code_point >> 12);
            bytes += static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (code_point & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | code_point >> 18);
            bytes += static_cast<char>(0x80 | (code_point >> 12 & 0x3F));
            bytes += static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (code_point & 0x3F));
        }
    }
    return bytes;
}

} // namespace linux_platform
