#include "platform/QtFrameExtents.h"

#include <QGuiApplication>
#include <QWindow>

#include <poll.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace morvelant {

namespace {

// The screen the connection's display names.
int& ScreenNumber() {
    static int screen = 0;
    return screen;
}

// A connection of our own: the answer comes as an event, and the toolkit's
// connection hands its events to its own reader.
xcb_connection_t* Connection() {
    static xcb_connection_t* connection = [] {
        xcb_connection_t* c = xcb_connect(nullptr, &ScreenNumber());
        if (xcb_connection_has_error(c) == 0) return c;
        xcb_disconnect(c);
        return static_cast<xcb_connection_t*>(nullptr);
    }();
    return connection;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<uint32_t> Cardinals(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1024), nullptr), &std::free);
    if (!reply || reply->format != 32) return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

// Whether a window manager runs: one owns the screen's manager selection.
bool WindowManagerRuns(xcb_connection_t* c) {
    const std::string name = "WM_S" + std::to_string(ScreenNumber());
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, Atom(c, name.c_str())), nullptr), &std::free);
    return !reply || reply->owner != XCB_WINDOW_NONE;
}

// Waits up to `limit` for the window manager's answer: the frame's property
// set on the window.
bool AnswerWithin(xcb_connection_t* c, xcb_window_t window, xcb_atom_t extents, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + limit;
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            const bool answer = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && p->window == window &&
                p->atom == extents && p->state == XCB_PROPERTY_NEW_VALUE;
            std::free(event);
            if (answer) return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0 || xcb_connection_has_error(c) != 0) return false;
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&fd, 1, int(left));
    }
}

// Waits for the window manager's answer. A window manager that is busy
// (starting, or stalled by a load for seconds) maps the window only after
// it has answered, so the wait holds back nothing that would be seen, and a
// window placed without the answer is moved once it appears. Bounded, for a
// window manager that says it answers and does not: after a question it let
// go by, the next ones get half a second until it answers again.
bool AnswerCame(xcb_connection_t* c, xcb_window_t window, xcb_atom_t extents) {
    static bool letGo = false;
    const bool came =
        AnswerWithin(c, window, extents, letGo ? std::chrono::milliseconds(500) : std::chrono::milliseconds(10000));
    letGo = !came;
    return came;
}

}  // namespace

std::optional<QMargins> FrameBeforeMap(QWindow& window) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return std::nullopt;
    xcb_connection_t* c = Connection();
    if (c == nullptr) return std::nullopt;
    // No window manager: no frame, and the window stands where it is put.
    if (!WindowManagerRuns(c)) return QMargins();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t request = Atom(c, "_NET_REQUEST_FRAME_EXTENTS"), extents = Atom(c, "_NET_FRAME_EXTENTS");
    bool answers = false;
    for (const uint32_t atom : Cardinals(c, root, Atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM))
        answers = answers || atom == request;
    if (!answers || extents == XCB_ATOM_NONE) return std::nullopt;

    const auto id = xcb_window_t(window.winId());
    const uint32_t watch = XCB_EVENT_MASK_PROPERTY_CHANGE, none = 0;
    xcb_change_window_attributes(c, id, XCB_CW_EVENT_MASK, &watch);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
    const bool came = AnswerCame(c, id, extents);
    xcb_change_window_attributes(c, id, XCB_CW_EVENT_MASK, &none);
    const std::vector<uint32_t> widths = came ? Cardinals(c, id, extents, XCB_ATOM_CARDINAL) : std::vector<uint32_t>{};
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) std::free(event);
    if (widths.size() != 4) return std::nullopt;
    // The property's order: left, right, top, bottom.
    return QMargins(int(widths[0]), int(widths[2]), int(widths[1]), int(widths[3]));
}

}  // namespace morvelant
