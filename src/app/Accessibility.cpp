#include "app/Accessibility.h"

#include <cstring>
#include <initializer_list>
#include <gtk/gtk.h>
#include <gtkmm/widget.h>

namespace tarn {

namespace {

bool insideButton(GtkWidget* widget) {
    for (GtkWidget* up = gtk_widget_get_parent(widget); up; up = gtk_widget_get_parent(up)) {
        if (GTK_IS_BUTTON(up) || GTK_IS_MENU_BUTTON(up)) return true;
    }
    return false;
}

bool unread(GtkWidget* widget) {
    const char* type = G_OBJECT_TYPE_NAME(widget);
    for (const char* part : {"GtkRange", "GtkGizmo", "GtkPanedHandle", "GtkBuiltinIcon"}) {
        if (!std::strcmp(type, part)) return true;
    }
    return GTK_IS_SCROLLBAR(widget) ||
           (GTK_IS_IMAGE(widget) && (insideButton(widget) || gtk_widget_has_css_class(widget, "expander-row-arrow")));
}

}  // namespace

void leaveNoClassNames() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    // A signal is known once its class is: held for the program's life.
    g_type_class_ref(GTK_TYPE_WIDGET);
    // GTK's inner parts are made inside GTK: only a hook on every widget reaches them. Realized,
    // a part is in its place (an icon inside its button).
    auto hide = [](GSignalInvocationHint*, guint, const GValue* values, gpointer) -> gboolean {
        GObject* object = G_OBJECT(g_value_get_object(&values[0]));
        if (GTK_IS_WIDGET(object) && unread(GTK_WIDGET(object))) {
            gtk_accessible_update_state(GTK_ACCESSIBLE(object), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
        }
        return TRUE;
    };
    g_signal_add_emission_hook(g_signal_lookup("realize", GTK_TYPE_WIDGET), 0, hide, nullptr, nullptr);
}

void nameInnerParts(Gtk::Widget& root, const std::string& name) {
    auto visit = [&](auto& self, GtkWidget* widget) -> void {
        if (GTK_IS_LIST_BOX(widget) || GTK_IS_SCROLLBAR(widget)) {
            gtk_accessible_update_property(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_PROPERTY_LABEL, name.c_str(), -1);
        } else if (unread(widget)) {
            gtk_accessible_update_state(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
        }
        for (GtkWidget* child = gtk_widget_get_first_child(widget); child; child = gtk_widget_get_next_sibling(child)) {
            self(self, child);
        }
    };
    for (GtkWidget* child = gtk_widget_get_first_child(root.gobj()); child; child = gtk_widget_get_next_sibling(child)) {
        visit(visit, child);
    }
}

}  // namespace tarn
