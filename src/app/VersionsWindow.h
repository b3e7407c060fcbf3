#pragma once
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/listbox.h>
#include <gtkmm/window.h>

namespace tarn {

// The project's versions (git branches) in a dialog of the main window with a header bar of its
// own: each a row, checked out or one click away, and a new one from the present state. The list
// is read afresh each time it opens; Escape closes it.
class VersionsWindow : public Gtk::Window {
public:
    VersionsWindow(Gtk::Window& parent, AppViewModel& model, Published<bool>& shown);

    Gtk::ListBox& list() { return list_; }
    Gtk::Entry& nameField() { return name_; }
    Gtk::Button& createButton() { return create_; }

private:
    void showVersions();

    AppViewModel& model_;
    Published<bool>& shown_;
    Gtk::Button refresh_;
    Gtk::ListBox list_;
    Gtk::Entry name_;
    Gtk::Button create_;
};

}  // namespace tarn
