#pragma once
#include <string>

namespace Gtk {
class Widget;
}

namespace tarn {

// A part a screen reader finds without a name of its own is read by its class ("GtkScrollbar",
// "GtkPanedHandle"). From now on GTK's inner parts (a scroll bar's trough, a paned handle, an
// expander's arrow), scroll bars and the icons inside named buttons are left out of what a reader
// walks; Tarn's own containers and lists are named where they are made.
void leaveNoClassNames();

// Names the lists and scroll bars a composite widget makes for itself (an expander row's inner
// lists, a scrolled window's bars) after what they hold, and leaves out its other inner parts as
// the hook above does (this also holds where the hook is not installed, as in the window tests).
void nameInnerParts(Gtk::Widget& root, const std::string& name);

}  // namespace tarn
