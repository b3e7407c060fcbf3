#pragma once
#include "app/AddressField.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/button.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/menubutton.h>
#include <gtkmm/stack.h>
#include <gtkmm/togglebutton.h>

namespace tarn {

// The window's one bar, drawn as its title bar with the window's controls where the desktop puts
// them: open a project, start or stop the server, versions, the address (its title), Go and reload,
// the agent column's toggle and the main menu. While the browser is expanded it turns compact: the
// address with reload, copy logs, inspect and collapse.
class HeaderBar : public Gtk::HeaderBar {
public:
    explicit HeaderBar(AppViewModel& model);

    static bool showsStop(const ServerRuntimeState& state);
    AddressField& address() { return address_; }
    Gtk::Button& goButton() { return go_; }
    Gtk::Button& stopButton() { return stop_; }
    bool showingStop() const { return serverControl_.get_visible_child_name() == "stop"; }
    // True while it shows the expanded browser's controls.
    bool compact() const { return collapse_.get_visible(); }

private:
    void showExpanded(bool expanded);

    Gtk::Button open_;
    Gtk::Stack serverControl_;
    Gtk::Button start_, stop_;
    Gtk::Button versions_;
    AddressField address_;
    Gtk::Button go_, reload_, copy_;
    Gtk::ToggleButton inspect_, collapse_, agent_;
    Gtk::MenuButton menu_;
};

}  // namespace tarn
