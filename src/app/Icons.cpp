#include "app/Icons.h"

#include <gtkmm/menubutton.h>

#include <adwaita.h>
#include <gtk/gtk.h>
#include <gtkmm/button.h>
#include <gtkmm/togglebutton.h>
#include <map>

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

void makeIconButton(Gtk::Button& button, const std::string& symbol, const std::string& help, const std::string& action) {
    button.set_icon_name(icons::named(symbol));
    button.set_tooltip_text(help);
    setAccessibleLabel(button, help);
    button.set_action_name(action);
}

void makeIconToggle(Gtk::ToggleButton& button, const std::string& symbol, const std::string& help, const std::string& action) {
    makeIconButton(button, symbol, help, action);
}

void iconAndLabelButton(Gtk::Button& button, const std::string& symbol, const std::string& label, const std::string& action,
                        const std::string& help) {
    GtkWidget* content = adw_button_content_new();
    adw_button_content_set_icon_name(ADW_BUTTON_CONTENT(content), icons::named(symbol).c_str());
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

namespace tarn::icons {

// Adwaita has no pointer arrow and no plain arrow up: those three ship with Tarn, under the
// application's resource path.
std::string named(const std::string& symbol) {
    static const std::map<std::string, std::string> table{
        {"stop.fill", "media-playback-stop-symbolic"},
        {"stop", "media-playback-stop-symbolic"},
        {"eject.fill", "media-eject-symbolic"},
        {"square.stack.3d.up", "view-paged-symbolic"},
        {"arrow.clockwise", "view-refresh-symbolic"},
        {"doc.on.doc", "edit-copy-symbolic"},
        {"cursorarrow", "tarn-pointer-symbolic"},
        {"cursorarrow.rays", "tarn-pointer-rays-symbolic"},
        {"arrow.up.left.and.arrow.down.right", "view-fullscreen-symbolic"},
        {"arrow.down.right.and.arrow.up.left", "view-restore-symbolic"},
        {"checkmark.circle.fill", "selection-mode-symbolic"},
        {"circle", "radio-symbolic"},
        {"checkmark", "object-select-symbolic"},
        {"xmark", "window-close-symbolic"},
        {"arrow.up", "tarn-arrow-up-symbolic"},
        {"folder", "folder-open-symbolic"},
        {"ellipsis", "view-more-symbolic"},
        {"line.3.horizontal", "open-menu-symbolic"},
    };
    auto found = table.find(symbol);
    if (found != table.end()) return found->second;
    // An Adwaita name already ("sidebar-show-right").
    if (symbol.find('.') == std::string::npos) return symbol + "-symbolic";
    return "image-missing-symbolic";
}

}  // namespace tarn::icons
