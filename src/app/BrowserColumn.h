#pragma once
#include "app/BrowserHeader.h"
#include "app/ConsolePane.h"
#include "app/PreviewPane.h"
#include "app/SlideRevealer.h"

#include <gtkmm/box.h>

namespace tarn {

// The left column: the header row, the preview, and the console under it. Expanding the browser
// slides the header and console away; their state stays with the controller.
class BrowserColumn : public Gtk::Box {
public:
    BrowserColumn(AppViewModel& model, std::function<void()> openChangeDescription);

    BrowserHeader& header() { return header_; }
    PreviewPane& preview() { return preview_; }
    ConsolePane& console() { return console_; }
    SlideRevealer& headerRevealer() { return headerRevealer_; }
    SlideRevealer& consoleRevealer() { return consoleRevealer_; }

private:
    BrowserHeader header_;
    PreviewPane preview_;
    ConsolePane console_;
    SlideRevealer headerRevealer_{SlideRevealer::Edge::top};
    SlideRevealer consoleRevealer_{SlideRevealer::Edge::bottom};
};

}  // namespace tarn
