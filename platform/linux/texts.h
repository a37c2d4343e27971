// The start of the program's texts in the user's language (platform/texts.h).
#pragma once

#include <string>

namespace linux_platform {

// printf's text, for a translated line that is not written at once.
std::string format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));

// Takes the language from the environment and finds the catalogue; before it, texts are English.
void open_catalogue();

} // namespace linux_platform
