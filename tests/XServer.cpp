#include "XServer.h"

#include "ChildProcess.h"
#include "RunTool.h"

#include <X11/Xutil.h>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

bool XServer::Launch(std::vector<std::string> argv) {
    int fds[2];
    if (pipe(fds) != 0) {
        return false;
    }
    argv.insert(argv.begin() + 1,
                {"-displayfd", std::to_string(fds[1]), "-noreset", "-nolisten", "tcp"});
    std::vector<char*> args;
    for (std::string& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    server = fork();
    if (server == 0) {
        close(fds[0]);
        // Servers report every display number they find taken; keep quiet.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    // The server writes its display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (server > 0 && poll(&p, 1, 30000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (!number.empty()) {
        displayName = ":" + number;
        display = XOpenDisplay(displayName.c_str());
    }
    return display != nullptr;
}

XServer::~XServer() {
    if (display != nullptr) {
        XCloseDisplay(display);
    }
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
}

Pixmap XServer::Picture(int width, int height, const std::vector<Area>& areas, int depth) const {
    const Pixmap picture =
        XCreatePixmap(display, root(), unsigned(width), unsigned(height), unsigned(depth));
    GC gc = XCreateGC(display, picture, 0, nullptr);
    XSetForeground(display, gc, 0);
    XFillRectangle(display, picture, gc, 0, 0, unsigned(width), unsigned(height));
    for (const Area& a : areas) {
        XSetForeground(display, gc, (unsigned long)a.colour.r << 16 | a.colour.g << 8 | a.colour.b);
        XFillRectangle(display, picture, gc, a.x, a.y, unsigned(a.width), unsigned(a.height));
    }
    XFreeGC(display, gc);
    return picture;
}

void XServer::SetRootPicture(const std::vector<Area>& areas) {
    // Xlib keeps the screen size it connected with; the root knows better.
    XWindowAttributes size;
    XGetWindowAttributes(display, root(), &size);
    const Pixmap picture =
        Picture(size.width, size.height, areas, DefaultDepth(display, DefaultScreen(display)));
    XSetWindowBackgroundPixmap(display, root(), picture);
    XClearWindow(display, root());
    XFreePixmap(display, picture);
    XSync(display, False);
}

Window XServer::MakeWindow(int x, int y, int width, int height) {
    Window w = XCreateSimpleWindow(display, root(), x, y, width, height, 0, 0, 0);
    XMapWindow(display, w);
    XSync(display, False);
    return w;
}

std::vector<RGBA> XServer::Pixels(Window window, int width, int height, int x, int y) const {
    std::vector<RGBA> pixels;
    XSync(display, False); // every request sent is done
    XImage* image =
        XGetImage(display, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    for (int row = 0; image != nullptr && row < height; row++) {
        for (int column = 0; column < width; column++) {
            const unsigned long p = XGetPixel(image, column, row);
            pixels.push_back(RGBA{uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), 255});
        }
    }
    if (image != nullptr) {
        XDestroyImage(image);
    }
    return pixels;
}

RGBA XServer::PixelAt(Window window, int x, int y) const {
    const std::vector<RGBA> pixel = Pixels(window, 1, 1, x, y);
    return pixel.empty() ? RGBA{} : pixel[0];
}

bool XServer::Xdotool(const std::string& args) const {
    return RunTool("DISPLAY=" + displayName + " xdotool " + args).status == 0;
}

Window XServer::FindWindow(const std::string& title) const {
    // A window may go between the query and the look at it: no error ends us.
    const auto previous = XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
    Window found = 0;
    WaitFor(kPatience, [&] {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
        for (unsigned i = 0; i < count && found == 0; i++) {
            char* name = nullptr;
            XWindowAttributes a;
            if (XFetchName(display, children[i], &name) && name != nullptr && name == title &&
                XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable) {
                found = children[i];
            }
            XFree(name);
        }
        XFree(children);
        return found != 0;
    });
    XSetErrorHandler(previous);
    return found;
}
