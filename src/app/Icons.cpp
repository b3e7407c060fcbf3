#include "app/Icons.h"

#include <gtk/gtk.h>
#include <gtkmm/widget.h>
#include <map>

namespace tarn {
void setAccessibleLabel(Gtk::Widget& widget, const std::string& label) {
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL, label.c_str(), -1);
}
}  // namespace tarn

namespace tarn::icons {

// Adwaita has no pointer arrow and no plain arrow up: those three ship with Tarn, under the
// application's resource path.
std::string named(const std::string& symbol) {
    static const std::map<std::string, std::string> table{
        {"stop.fill", "media-playback-stop-symbolic"},
        {"stop", "media-playback-stop-symbolic"},
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
    return found == table.end() ? "image-missing-symbolic" : found->second;
}

}  // namespace tarn::icons
