#pragma once
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/expander.h>
#include <gtkmm/label.h>
#include <gtkmm/menubutton.h>

namespace tarn {

// The collapsible "Runtime & Agent Details" group: which agent tools are installed, the install
// and dev commands in use, where the instructions file is, a way to plan them again, and presets
// that fill the composer.
class RuntimeDetails : public Gtk::Box {
public:
    explicit RuntimeDetails(AppViewModel& model);

    Gtk::Expander& expander() { return expander_; }

    struct Preset {
        const char* title;
        const char* prompt;
        bool planMode;
    };
    static const std::vector<Preset>& presets();

private:
    AppViewModel& model_;
    Gtk::Expander expander_;
    Gtk::Box card_{Gtk::Orientation::VERTICAL, 4};
    Gtk::Label status_, install_, dev_, instructions_;
    Gtk::Button refresh_{"Refresh Startup Instructions"};
    Gtk::MenuButton presets_;
};

}  // namespace tarn
