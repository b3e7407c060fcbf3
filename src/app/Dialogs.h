#pragma once
#include <gtk/gtk.h>

namespace tarn {

// A dialog of the main window: transient for it, modal, hidden rather than destroyed when
// closed (it is made once and shown again), and closed by Escape.
void makeModal(GtkWindow* dialog, GtkWindow* parent);

}  // namespace tarn
