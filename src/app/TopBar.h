#pragma once
#include "app/AddressField.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/menubutton.h>
#include <gtkmm/stack.h>

namespace tarn {

// The full bar: open a project, start or stop the server, versions, the address, Go and reload.
class TopBar : public Gtk::Box {
public:
    explicit TopBar(AppViewModel& model);

    static bool showsStop(const ServerRuntimeState& state);
    AddressField& address() { return address_; }
    Gtk::Button& stopButton() { return stop_; }
    bool showingStop() const { return serverControl_.get_visible_child_name() == "stop"; }
    Gtk::Button& goButton() { return go_; }

private:
    Gtk::Button open_{"Open Project"};
    Gtk::Stack serverControl_;
    Gtk::Button start_{"Start Server"};
    Gtk::Button stop_;
    Gtk::Button versions_;
    AddressField address_;
    Gtk::Button go_{"Go"};
    Gtk::Button reload_;
    Gtk::MenuButton menu_;
};

}  // namespace tarn
