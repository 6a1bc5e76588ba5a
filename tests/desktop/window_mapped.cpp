// Waits until a top-level window with the given title is mapped on the X display, as a user
// would first see it.   window_mapped TITLE SECONDS; exit code 0 once it is, 1 at the timeout.
#include <poll.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string windowName(xcb_connection_t* x, xcb_window_t window) {
    const auto cookie =
        xcb_get_property(x, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(x, cookie, nullptr);
    std::string name;
    if (reply != nullptr) {
        name.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                    std::size_t(xcb_get_property_value_length(reply)));
        std::free(reply);
    }
    return name;
}

bool viewable(xcb_connection_t* x, xcb_window_t window) {
    xcb_get_window_attributes_reply_t* reply =
        xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, window), nullptr);
    const bool shown = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return shown;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TITLE SECONDS\n", argv[0]);
        return 2;
    }
    const std::string title = argv[1];
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[2]));
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    // Listening first, then looking at what is already there, misses no window.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    if (xcb_query_tree_reply_t* tree = xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr)) {
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            if (viewable(x, children[i]) && windowName(x, children[i]) == title) {
                std::free(tree);
                return 0;
            }
        }
        std::free(tree);
    }
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    while (std::chrono::steady_clock::now() < deadline) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const xcb_window_t window =
                mapped ? reinterpret_cast<xcb_map_notify_event_t*>(event)->window : 0;
            std::free(event);
            if (mapped && windowName(x, window) == title) {
                return 0;
            }
        }
        if (xcb_connection_has_error(x)) {
            return 1;
        }
        ::poll(&fd, 1, 100);
    }
    std::fprintf(stderr, "no window \"%s\" was mapped\n", title.c_str());
    return 1;
}
