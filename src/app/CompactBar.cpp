#include "app/CompactBar.h"

#include "app/Bind.h"
#include "app/BrowserHeader.h"

namespace tarn {

CompactBar::CompactBar(AppViewModel& model) : Gtk::Box(Gtk::Orientation::HORIZONTAL, 8), address_(model) {
    add_css_class("tarn-bar");
    append(address_);
    makeIconButton(reload_, "arrow.clockwise", "Refresh", "win.reload-preview");
    makeIconButton(copy_, "doc.on.doc", "Copy Console", "win.copy-logs");
    makeIconButton(inspect_, "cursorarrow", "Inspect", "win.toggle-inspect");
    makeIconButton(collapse_, "arrow.down.right.and.arrow.up.left", "Collapse Browser", "win.toggle-expanded");
    for (auto* button : {&reload_, &copy_, &inspect_, &collapse_}) {
        button->set_valign(Gtk::Align::CENTER);
        append(*button);
    }
    bind::styleWhile(inspect_, model.inspectModeEnabled, "tarn-inspect-on");
}

}  // namespace tarn
