// Another X client, as a test needs one: closes the program's window the way a window manager's
// close button does (WM_DELETE_WINDOW), destroys it outright as a hostile client could, kills the
// program's connection as xdotool windowkill does, or tells where it is on the screen
// ("x y width height") or the class a desktop shell groups it by (WM_CLASS).
//
//   x_client close|destroy|kill|geometry|class|wait TITLE
// Each looks for a top-level window with that title (_NET_WM_NAME, or WM_NAME) for up to 20 s;
// exit code 1 when there is none.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return found;
}

std::string text_property(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr);
    std::string text;
    if (reply != nullptr)
        text.assign(static_cast<const char *>(xcb_get_property_value(reply)),
                    static_cast<size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return text;
}

// The UTF-8 title first: a title beyond Latin-1 (the failure box's) is in WM_NAME only as
// compound text.
std::string title_of(xcb_connection_t *connection, xcb_window_t window)
{
    const std::string title = text_property(connection, window, atom(connection, "_NET_WM_NAME"));
    return title.empty() ? text_property(connection, window, XCB_ATOM_WM_NAME) : title;
}

xcb_window_t find_window(xcb_connection_t *connection, xcb_window_t root, const std::string &title)
{
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr);
    xcb_window_t found = XCB_WINDOW_NONE;
    if (tree != nullptr) {
        const xcb_window_t *children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && found == XCB_WINDOW_NONE; ++i)
            if (title_of(connection, children[i]) == title)
                found = children[i];
    }
    std::free(tree);
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: x_client close|destroy|kill|geometry|class|wait TITLE\n");
        return 2;
    }
    const std::string action = argv[1];
    // Xvfb now and then turns a connection away while it is busy: try again for a while.
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    for (int tries = 0; tries < 50 && xcb_connection_has_error(connection); ++tries) {
        xcb_disconnect(connection);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        connection = xcb_connect(nullptr, nullptr);
    }
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "x_client: cannot connect to the display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_window_t window = XCB_WINDOW_NONE;
    for (int tries = 0; tries < 200 && window == XCB_WINDOW_NONE; ++tries) {
        window = find_window(connection, root, argv[2]);
        if (window == XCB_WINDOW_NONE)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (window == XCB_WINDOW_NONE) {
        std::fprintf(stderr, "x_client: no window titled %s\n", argv[2]);
        return 1;
    }
    if (action == "destroy") {
        xcb_destroy_window(connection, window);
    } else if (action == "kill") {
        xcb_kill_client(connection, window);
    } else if (action == "class") {
        // Two strings, each ending in a null: the instance, then the class.
        const std::string instance_and_class = text_property(connection, window, XCB_ATOM_WM_CLASS);
        std::printf(
            "%s\n",
            instance_and_class.substr(std::min(instance_and_class.find('\0') + 1, instance_and_class.size())).c_str());
    } else if (action == "close") {
        xcb_client_message_event_t message = {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = atom(connection, "WM_PROTOCOLS");
        message.data.data32[0] = atom(connection, "WM_DELETE_WINDOW");
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&message));
    } else if (action == "geometry") {
        xcb_get_geometry_reply_t *geometry =
            xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
        if (geometry == nullptr)
            return 1;
        std::printf("%d %d %d %d\n", geometry->x, geometry->y, geometry->width, geometry->height);
        std::free(geometry);
    } else if (action != "wait") {
        std::fprintf(stderr, "x_client: unknown action %s\n", action.c_str());
        return 2;
    }
    // A round trip: the server has handled the request before this client goes.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
    return 0;
}
