#pragma once
#include "app/BrowserHeader.h"
#include "app/ConsolePane.h"
#include "app/PreviewPane.h"

#include <gtkmm/box.h>
#include <gtkmm/revealer.h>

namespace tarn {

// The left column: the header row, the preview, and the console under it. Expanding the browser
// slides the header and console away; their state stays with the controller.
class BrowserColumn : public Gtk::Box {
public:
    explicit BrowserColumn(AppViewModel& model);

    BrowserHeader& header() { return header_; }
    PreviewPane& preview() { return preview_; }
    ConsolePane& console() { return console_; }
    Gtk::Revealer& headerRevealer() { return headerRevealer_; }
    Gtk::Revealer& consoleRevealer() { return consoleRevealer_; }

private:
    BrowserHeader header_;
    PreviewPane preview_;
    ConsolePane console_;
    Gtk::Revealer headerRevealer_, consoleRevealer_;
};

}  // namespace tarn
