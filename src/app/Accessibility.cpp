#include "app/Accessibility.h"

#include <cstring>
#include <gtk/gtk.h>

namespace tarn {

void leaveNoClassNames() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    // A signal is known once its class is: held for the program's life.
    g_type_class_ref(GTK_TYPE_WIDGET);
    // GTK's own parts (a scroll bar's trough, a paned handle) are made inside GTK: only a hook on
    // every widget's "map" reaches them all.
    g_signal_add_emission_hook(
        g_signal_lookup("map", GTK_TYPE_WIDGET), 0,
        [](GSignalInvocationHint*, guint, const GValue* values, gpointer) -> gboolean {
            auto* widget = GTK_WIDGET(g_value_get_object(&values[0]));
            // Unnamed, the name is the class's.
            if (!std::strcmp(gtk_widget_get_name(widget), G_OBJECT_TYPE_NAME(widget))) gtk_widget_set_name(widget, "");
            return TRUE;
        },
        nullptr, nullptr);
}

}  // namespace tarn
