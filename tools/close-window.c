/* Asks an X window to close, as a window manager does when the close box of
   its frame is pressed: a WM_PROTOCOLS client message carrying
   WM_DELETE_WINDOW, sent to the window itself. Wine turns it into the
   window's SC_CLOSE system command, and so into WM_CLOSE, as the close box
   does on Windows. (xdotool's windowkill and Debian 12's xdotool, which has no
   windowquit, would destroy the window or its connection instead; wmctrl -c
   asks a window manager, and the virtual display has none.)

   usage: close-window WINDOW_ID
   Exit code 0 when the request was sent, 1 when the display or the window
   cannot be reached, 3 when the window does not take the request (it does
   not list WM_DELETE_WINDOW among its protocols). */
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <stdio.h>
#include <stdlib.h>

static int failed;

static int note_error(Display *display, XErrorEvent *error) {
    (void)display;
    (void)error;
    failed = 1;
    return 0;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: close-window WINDOW_ID\n");
        return 2;
    }
    Display *display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "close-window: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(note_error);
    const Window window = (Window)strtoul(argv[1], NULL, 0);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom *listed = NULL;
    int count = 0;
    int takes = 0;
    if (XGetWMProtocols(display, window, &listed, &count)) {
        for (int i = 0; i < count; ++i) {
            takes |= listed[i] == deleteWindow;
        }
        XFree(listed);
    }
    if (!failed && takes) {
        XEvent event = {0};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long)deleteWindow;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
    }
    XSync(display, False);
    XCloseDisplay(display);
    if (failed) {
        fprintf(stderr, "close-window: no window %s\n", argv[1]);
        return 1;
    }
    if (!takes) {
        fprintf(stderr, "close-window: window %s takes no WM_DELETE_WINDOW\n", argv[1]);
        return 3;
    }
    return 0;
}
