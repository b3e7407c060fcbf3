#include "app/MainWindow.h"

#include <gtkmm/headerbar.h>
#include <gtkmm/label.h>

namespace tarn {

MainWindow::MainWindow() {
    set_title("Tarn");
    // The layout needs this much room for the agent column beside the preview.
    set_size_request(1260, 760);
    set_default_size(1440, 900);
    set_titlebar(*Gtk::make_managed<Gtk::HeaderBar>());
    auto* placeholder = Gtk::make_managed<Gtk::Label>("Open a project folder to begin.");
    placeholder->add_css_class("dim-label");
    set_child(*placeholder);
}

}  // namespace tarn
