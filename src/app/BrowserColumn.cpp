#include "app/BrowserColumn.h"

#include "app/Bind.h"

namespace tarn {

BrowserColumn::BrowserColumn(AppViewModel& model)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 10), header_(model), preview_(model), console_(model.browser(), model.server()) {
    add_css_class("tarn-browser-card");
    set_hexpand(true);
    set_vexpand(true);
    headerRevealer_.set_transition_type(Gtk::RevealerTransitionType::SLIDE_DOWN);
    headerRevealer_.set_child(header_);
    consoleRevealer_.set_transition_type(Gtk::RevealerTransitionType::SLIDE_UP);
    consoleRevealer_.set_child(console_);
    append(headerRevealer_);
    append(preview_);
    append(consoleRevealer_);
    bind::to(*this, model.browser().isBrowserExpanded, [this](bool expanded) {
        headerRevealer_.set_reveal_child(!expanded);
        consoleRevealer_.set_reveal_child(!expanded);
    });
}

}  // namespace tarn
