// The catalogue of the program's texts: the language is the locale's for messages, as in every
// Debian program; the numbers the program formats keep the C locale's form whatever it is.
#include "platform/linux/texts.h"

#include <clocale>
#include <filesystem>
#include <libintl.h>

#include "platform/texts.h"

namespace linux_platform {

namespace {

const char *const domain = "quorvex";

// A build tree lays the catalogues out beside its executables; an installed program finds them
// where the package put them.
std::string catalogue_folder()
{
    std::error_code error;
    const auto beside = std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "locale";
    return std::filesystem::is_directory(beside, error) ? beside.string() : QUORVEX_LOCALEDIR;
}

} // namespace

void open_catalogue()
{
    std::setlocale(LC_MESSAGES, "");
    std::setlocale(LC_CTYPE, "");
    bindtextdomain(domain, catalogue_folder().c_str());
    // The program writes UTF-8 whatever the locale's character set, as it writes paths.
    bind_textdomain_codeset(domain, "UTF-8");
}

} // namespace linux_platform

const char *translated(const char *english) { return dgettext(linux_platform::domain, english); }
