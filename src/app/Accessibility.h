#pragma once

namespace tarn {

// A part a screen reader finds without a name of its own is read by its class ("GtkScrollbar",
// "GtkPanedHandle"). From now on GTK's inner parts (a scroll bar's trough, a paned handle, an
// expander's arrow), scroll bars and the icons inside named buttons are left out of what a reader
// walks; Tarn's own containers and lists are named where they are made.
void leaveNoClassNames();

}  // namespace tarn
