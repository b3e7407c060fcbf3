#pragma once
#include "app/Sheet.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/scrolledwindow.h>

namespace tarn {

// The project's versions (git branches): checked out or one click away, and a new one from the
// current state. The list is read afresh each time the sheet opens.
class VersionsSheet : public Sheet {
public:
    VersionsSheet(Gtk::Window& parent, AppViewModel& model, Published<bool>& shown);

    Gtk::Box& list() { return list_; }
    Gtk::Entry& nameField() { return name_; }
    Gtk::Button& createButton() { return create_; }

protected:
    void appearing() override;

private:
    void showVersions();

    AppViewModel& model_;
    Gtk::Button refresh_{"Refresh"};
    Gtk::ScrolledWindow scroller_;
    Gtk::Box list_{Gtk::Orientation::VERTICAL, 6};
    Gtk::Entry name_;
    Gtk::Button create_{"Create"};
};

}  // namespace tarn
