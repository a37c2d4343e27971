// The start of the program's texts in the user's language (platform/texts.h).
#pragma once

namespace linux_platform {

// Takes the language from the environment and finds the catalogue; before it, texts are English.
void open_catalogue();

} // namespace linux_platform
