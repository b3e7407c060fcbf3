#pragma once

namespace tarn {

// A widget without a name of its own reads as its class ("GtkScrollbar", "gtkmm__GtkOverlay") to a
// screen reader: from now on every widget shown without a name gets an empty one, so a reader
// says its role and the names it was given, never a class.
void leaveNoClassNames();

}  // namespace tarn
