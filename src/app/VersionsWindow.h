#pragma once
#include "workspace/AppViewModel.h"

#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/listbox.h>
#include <gtkmm/window.h>

namespace tarn {

// The project's versions (git branches) and its history of checkpoints, in a dialog of the main
// window with a header bar of its own and a switcher between the two pages. Versions: each a row,
// checked out or one click away, and a new one from the present state. History: the checkpoints,
// newest first, each one click from being restored. Both are read afresh each time it opens;
// Escape closes it.
class VersionsWindow : public Gtk::Window {
public:
    VersionsWindow(Gtk::Window& parent, AppViewModel& model, Published<bool>& shown);

    enum class Page { versions, history };
    void showPage(Page page);

    Gtk::ListBox& list() { return *list_; }
    Gtk::ListBox& history() { return *history_; }
    Gtk::Entry& nameField() { return *name_; }
    Gtk::Button& createButton() { return *create_; }

private:

    AppViewModel& model_;
    Published<bool>& shown_;
    // From versions-window.ui, owned by the window.
    Gtk::ListBox* list_;
    Gtk::Entry* name_;
    Gtk::Button* create_;
    Gtk::ListBox* history_;
    GtkWidget* stack_;
};

}  // namespace tarn
