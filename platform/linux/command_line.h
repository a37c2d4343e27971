// The command line as Windows hands it to a GUI program's entry point: one string, the arguments
// quoted by the rules CommandLineToArgvW undoes.
#pragma once

#include <string>
#include <vector>

namespace linux_platform {

std::wstring quote_arguments(const std::vector<std::wstring> &arguments);

} // namespace linux_platform
