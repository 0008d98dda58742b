// Kept in a file of its own: the X headers define macros that clash with Qt's and the test
// framework's names.
#include "test_session_x11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

namespace tavrela::testing {

QImage GrabXWindow(const QString& Display, unsigned long Window) {
    // The X library is opened at run time, so the tests link nothing more.
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    if (x11 == nullptr) {
        return {};
    }
    using OpenDisplay = ::Display* (*)(const char*);
    using CloseDisplay = int (*)(::Display*);
    using GetWindowAttributes = Status (*)(::Display*, ::Window, XWindowAttributes*);
    using GetImage =
        XImage* (*)(::Display*, Drawable, int, int, unsigned, unsigned, unsigned long, int);
    using Free = int (*)(void*);
    const auto open = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
    const auto close = reinterpret_cast<CloseDisplay>(dlsym(x11, "XCloseDisplay"));
    const auto attributes =
        reinterpret_cast<GetWindowAttributes>(dlsym(x11, "XGetWindowAttributes"));
    const auto getImage = reinterpret_cast<GetImage>(dlsym(x11, "XGetImage"));
    const auto free = reinterpret_cast<Free>(dlsym(x11, "XFree"));
    QImage picture;
    ::Display* display = open && close && attributes && getImage && free
                             ? open(Display.toLocal8Bit().constData())
                             : nullptr;
    if (display != nullptr) {
        XWindowAttributes a{};
        if (attributes(display, Window, &a) != 0 && a.map_state == IsViewable) {
            XImage* image = getImage(display, Window, 0, 0, static_cast<unsigned>(a.width),
                                     static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
            if (image != nullptr && image->bits_per_pixel == 32) {
                // 24-bit TrueColor in 32-bit units, blue in the low byte: Qt's RGB32.
                picture = QImage(reinterpret_cast<const uchar*>(image->data), image->width,
                                 image->height, image->bytes_per_line, QImage::Format_RGB32)
                              .copy();
            }
            if (image != nullptr) {
                free(image->data);
                free(image);
            }
        }
        close(display);
    }
    dlclose(x11);
    return picture;
}

} // namespace tavrela::testing
