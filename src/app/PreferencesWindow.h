#pragma once
#include "support/GObjectPtr.h"
#include "workspace/AppViewModel.h"

#include <adwaita.h>
#include <gtkmm/window.h>

namespace tarn {

// Tarn's preferences, a dialog of the main window: the editor that "Open in Editor" uses.
class PreferencesWindow {
public:
    PreferencesWindow(Gtk::Window& parent, AppViewModel& model);
    ~PreferencesWindow();
    PreferencesWindow(const PreferencesWindow&) = delete;
    PreferencesWindow& operator=(const PreferencesWindow&) = delete;

    void present();
    GtkWindow* window() const { return GTK_WINDOW(window_.get()); }
    GtkWidget* editorRow() const { return editor_; }

private:
    AppViewModel& model_;
    GObjectPtr<GtkWidget> window_;  // an AdwPreferencesWindow
    GtkWidget* editor_;  // an AdwEntryRow, the window's
    sigc::connection watch_;
};

}  // namespace tarn
