// Test helper run beside the program on an X server with no window manager: finds the program's
// window and uses it as a person would, with clicks and keystrokes through the X server's input
// queue (XTEST), and closes it as a window manager's close box does. Every wait is bounded.
//
//   window_driver window             waits up to 60 s for the window; prints "id x y width height"
//   window_driver apply CH [catv]    types CH into the channel box, clicks the CATV box when asked,
//                                    then clicks Apply
//   window_driver key LETTER         presses the letter's key in the window
//   window_driver close              asks the window to close (WM_DELETE_WINDOW)
//   window_driver box                waits up to 15 s for a message box beside the window, prints
//                                    its caption and answers it with Return
//
// Exit codes: 0 done, 2 no window (or no box), 3 usage or no X server.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

// The controls' centres in the client area, where the program places them.
struct Point {
    int x;
    int y;
};
static const Point channel_box = {152, 160};
static const Point catv_box = {182, 160};
static const Point apply_button = {280, 159};

static std::string name_of(Display *display, Window window)
{
    char *name = nullptr;
    if (XFetchName(display, window, &name) == 0 || name == nullptr)
        return {};
    std::string result = name;
    XFree(name);
    return result;
}

// A window's caption as the toolkit sets it, in UTF-8 (_NET_WM_NAME).
static std::string caption_of(Display *display, Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long left = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 256, False,
                           XInternAtom(display, "UTF8_STRING", False), &type, &format, &count, &left,
                           &data) != Success ||
        data == nullptr)
        return {};
    std::string caption(reinterpret_cast<const char *>(data), count);
    XFree(data);
    return caption;
}

// Viewable top-level windows: the program's window is titled with string 103 of its resources.
static Window find_top_level(Display *display, bool program_window)
{
    Window root = DefaultRootWindow(display);
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, root, &root, &parent, &children, &count) == 0)
        return 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) != 0 && attributes.map_state == IsViewable &&
            (program_window ? name_of(display, children[i]) == "Quorvex"
                            : name_of(display, children[i]) != "Quorvex" && !caption_of(display, children[i]).empty()))
            found = children[i];
    }
    XFree(children);
    return found;
}

static Window wait_for_window(Display *display, bool program_window, int seconds)
{
    for (int waited_ms = 0; waited_ms < seconds * 1000; waited_ms += 100) {
        if (Window window = find_top_level(display, program_window))
            return window;
        usleep(100000);
    }
    return 0;
}

static void click(Display *display, Window window, Point at)
{
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), at.x, at.y, &x, &y, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
}

static void press(Display *display, KeySym symbol)
{
    const KeyCode code = XKeysymToKeycode(display, symbol);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
}

static int apply(Display *display, Window window, const char *channel, bool catv)
{
    // There is no window manager to give the window the keyboard when it is clicked.
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    click(display, window, channel_box);
    press(display, XK_End);
    for (int i = 0; i < 4; ++i)
        press(display, XK_BackSpace);
    for (const char *digit = channel; *digit != 0; ++digit)
        press(display, XK_0 + (*digit - '0'));
    // The click on the box or the button takes the focus from the channel box, which corrects its value first.
    if (catv)
        click(display, window, catv_box);
    click(display, window, apply_button);
    return 0;
}

static int press_in(Display *display, Window window, char letter)
{
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    press(display, XK_a + (letter - 'a'));
    return 0;
}

static int close_window(Display *display, Window window)
{
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

// The box takes the keyboard, and Return presses its default button.
static int answer_box(Display *display)
{
    const Window box = wait_for_window(display, false, 15);
    if (box == 0)
        return 2;
    std::printf("%s\n", caption_of(display, box).c_str());
    XSetInputFocus(display, box, RevertToParent, CurrentTime);
    press(display, XK_Return);
    return 0;
}

static bool digits(const char *text) { return *text != 0 && std::strspn(text, "0123456789") == std::strlen(text); }

int main(int argc, char **argv)
{
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr || argc < 2)
        return 3;
    const Window window = wait_for_window(display, true, 60);
    if (window == 0)
        return 2;
    int result = 3;
    if (std::strcmp(argv[1], "window") == 0 && argc == 2) {
        XWindowAttributes attributes;
        XGetWindowAttributes(display, window, &attributes);
        std::printf("0x%lx %d %d %d %d\n", window, attributes.x, attributes.y, attributes.width, attributes.height);
        result = 0;
    } else if (std::strcmp(argv[1], "apply") == 0 && (argc == 3 || (argc == 4 && std::strcmp(argv[3], "catv") == 0)) &&
               digits(argv[2])) {
        result = apply(display, window, argv[2], argc == 4);
    } else if (std::strcmp(argv[1], "key") == 0 && argc == 3 && argv[2][0] >= 'a' && argv[2][0] <= 'z' &&
               argv[2][1] == 0) {
        result = press_in(display, window, argv[2][0]);
    } else if (std::strcmp(argv[1], "close") == 0 && argc == 2) {
        result = close_window(display, window);
    } else if (std::strcmp(argv[1], "box") == 0 && argc == 2) {
        result = answer_box(display);
    }
    XCloseDisplay(display);
    return result;
}
