// A file manager's drop for the end-to-end tests, which xdotool cannot make: drags the files onto the
// window through the X drag-and-drop protocol (XDND), drops them once the window takes them, hands
// over their list when asked and waits until the window says it has finished.
// Usage: orv_xdnd_drop WINDOW X Y FILE...  (X and Y on the screen; exit status 0 once dropped)
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

Display* display;
Window source, target;

Atom atom(const char* name) {
    return XInternAtom(display, name, False);
}

void send(const char* type, long l1, long l2, long l3, long l4) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = atom(type);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(source);
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

// The files as a text/uri-list, each path with what is not plain percent-encoded.
std::string uriList(int count, char** files) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        list += "file://";
        for (unsigned char c : std::filesystem::absolute(files[i]).string()) {
            if (std::isalnum(c) ||
                std::string_view("/-._~").find(static_cast<char>(c)) != std::string_view::npos) {
                list += static_cast<char>(c);
            } else {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%%%02X", c);
                list += hex;
            }
        }
        list += "\r\n";
    }
    return list;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s WINDOW X Y FILE...\n", argv[0]);
        return 2;
    }
    display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    target = std::strtoul(argv[1], nullptr, 0);
    const long where = std::atol(argv[2]) << 16 | std::atol(argv[3]);
    const std::string list = uriList(argc - 4, argv + 4);
    source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom uriType = atom("text/uri-list");
    XSetSelectionOwner(display, atom("XdndSelection"), source, CurrentTime);

    send("XdndEnter", 5L << 24, static_cast<long>(uriType), None, None);
    send("XdndPosition", 0, where, CurrentTime, static_cast<long>(atom("XdndActionCopy")));
    bool dropped = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!XPending(display)) {
            pollfd connection{ConnectionNumber(display), POLLIN, 0};
            poll(&connection, 1, 100);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionRequest) {
            const XSelectionRequestEvent& request = event.xselectionrequest;
            XEvent reply{};
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = request.requestor;
            reply.xselection.selection = request.selection;
            reply.xselection.target = request.target;
            reply.xselection.time = request.time;
            reply.xselection.property = None;
            if (request.target == uriType) {
                XChangeProperty(display, request.requestor, request.property, uriType, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(list.data()),
                                static_cast<int>(list.size()));
                reply.xselection.property = request.property;
            }
            XSendEvent(display, request.requestor, False, NoEventMask, &reply);
            XFlush(display);
        } else if (event.type == ClientMessage && event.xclient.message_type == atom("XdndStatus") &&
                   !dropped) {
            if (!(event.xclient.data.l[1] & 1)) {
                send("XdndLeave", 0, 0, 0, 0);
                std::fprintf(stderr, "the window does not take the files\n");
                return 1;
            }
            send("XdndDrop", 0, CurrentTime, 0, 0);
            dropped = true;
        } else if (event.type == ClientMessage && event.xclient.message_type == atom("XdndFinished")) {
            return 0;
        }
    }
    std::fprintf(stderr, dropped ? "the drop did not finish\n" : "the window did not answer\n");
    return 1;
}
