#pragma once

#include <vector>

// Settings the program makes in its own environment while its QApplication is built. Each keeps
// the window's look and behaviour; a variable the user has set (to anything) is left as it is.
// Qt reads both while the application object is constructed; afterwards the environment is put
// back, so a program the tool starts (the browser for the product page) inherits the user's own.
//
// QT_XCB_NO_MITSHM=1  Under X11 the window's pixels go to the X server over the connection rather
//     than through shared memory. With shared memory Qt waits for the X server (a round trip)
//     before it paints over what the previous repaint showed, which is what both repaints of every
//     poll do; the boxes they repaint are small, so sending their pixels costs less than waiting.
//     Trade: a repaint of the whole window sends its ~1 MB through the socket instead.
// QT_NO_GLIB=1  Qt's own event dispatcher instead of the GLib main loop. Under GLib every posted
//     event (each repaint request, layout request, queued call) wakes the loop with a write to an
//     eventfd; Qt's dispatcher writes once until it has woken. Trade: GLib-based code in the GUI
//     thread would no longer be serviced by the event loop; the tool has none (no GTK dialogs, its
//     message boxes are Qt's own).
class RunEnvironment {
public:
    RunEnvironment();
    ~RunEnvironment();
    RunEnvironment(const RunEnvironment &) = delete;
    RunEnvironment &operator=(const RunEnvironment &) = delete;

    // Puts back what the constructor changed; the destructor does the same if not yet done.
    void restore();

private:
    std::vector<const char *> setHere_;
};
