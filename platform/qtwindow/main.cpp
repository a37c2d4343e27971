// The start-up Windows gives a GUI program: an application, then the program's entry point with
// its instance, an empty command line and the normal show command.
#include "platform/platform.h"
#include "platform/qtwindow/application.h"

// The program's entry point, with C linkage as the Windows start-up code calls it.
extern "C" int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd);

int main()
{
    qtwindow::application();
    // Windows' default image base: any non-null value would do, the program only passes it back.
    const auto instance = reinterpret_cast<HINSTANCE>(0x400000);
    WCHAR command_line[] = L"";
    return wWinMain(instance, nullptr, command_line, SW_SHOWNORMAL);
}
