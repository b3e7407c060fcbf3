#include "app/Buttons.h"

#include <gtkmm/menubutton.h>

#include <adwaita.h>
#include <gtk/gtk.h>
#include <gtkmm/button.h>
#include <gtkmm/togglebutton.h>

namespace tarn {

void menuOnDemand(Gtk::MenuButton& button, std::function<Glib::RefPtr<Gio::MenuModel>()> make) {
    button.set_create_popup_func([&button, make = std::move(make)] {
        if (!button.get_menu_model()) button.set_menu_model(make());
    });
}


void setAccessibleLabel(Gtk::Widget& widget, const std::string& label) {
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL, label.c_str(), -1);
}

void labelledButton(Gtk::Button& button, const std::string& label, const std::string& action, const std::string& help) {
    button.set_label(label);
    button.set_action_name(action);
    button.set_tooltip_text(help);
}

void makeIconButton(Gtk::Button& button, const std::string& icon, const std::string& help, const std::string& action) {
    button.set_icon_name(icon);
    button.set_tooltip_text(help);
    setAccessibleLabel(button, help);
    button.set_action_name(action);
}

void makeIconToggle(Gtk::ToggleButton& button, const std::string& icon, const std::string& help, const std::string& action) {
    makeIconButton(button, icon, help, action);
}

void iconAndLabelButton(Gtk::Button& button, const std::string& icon, const std::string& label, const std::string& action,
                        const std::string& help) {
    GtkWidget* content = adw_button_content_new();
    adw_button_content_set_icon_name(ADW_BUTTON_CONTENT(content), icon.c_str());
    adw_button_content_set_label(ADW_BUTTON_CONTENT(content), label.c_str());
    adw_button_content_set_use_underline(ADW_BUTTON_CONTENT(content), TRUE);
    gtk_button_set_child(GTK_BUTTON(button.gobj()), content);
    button.set_action_name(action);
    button.set_tooltip_text(help);
    // Named by the label it shows, once: a label of its own beside its content's would be read
    // twice ("Versions Versions").
    for (GtkWidget* child = content; child; child = gtk_widget_get_first_child(child)) {
        for (GtkWidget* part = child; part; part = gtk_widget_get_next_sibling(part)) {
            if (!GTK_IS_LABEL(part)) continue;
            gtk_accessible_update_relation(GTK_ACCESSIBLE(button.gobj()), GTK_ACCESSIBLE_RELATION_LABELLED_BY, part, nullptr, -1);
            return;
        }
    }
    setAccessibleLabel(button, label);
}

}  // namespace tarn
