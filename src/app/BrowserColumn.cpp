#include "app/BrowserColumn.h"

#include "app/Bind.h"

namespace tarn {

BrowserColumn::BrowserColumn(AppViewModel& model, std::function<void()> openChangeDescription)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 10), header_(model, std::move(openChangeDescription)), preview_(model), console_(model) {
    add_css_class("tarn-browser-card");
    set_hexpand(true);
    set_vexpand(true);
    headerRevealer_.setChild(header_);
    consoleRevealer_.setChild(console_);
    append(headerRevealer_);
    append(preview_);
    append(consoleRevealer_);
    bind::to(*this, model.isBrowserExpanded, [this](bool expanded) {
        headerRevealer_.setRevealed(!expanded, motion::browserColumn);
        consoleRevealer_.setRevealed(!expanded, motion::browserColumn);
    });
}

}  // namespace tarn
