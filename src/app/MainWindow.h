#pragma once
#include "app/ContentView.h"
#include "app/HeaderBar.h"

#include <gtk/gtk.h>
#include <gtkmm/applicationwindow.h>
#include <gtkmm/box.h>
#include <gtkmm/builder.h>

namespace tarn {

// Tarn's one window (libadwaita's): its header bar as the top of its content, the content view, the window's commands as
// actions (buttons, menus and keyboard shortcuts share them; the switches and toggles follow the
// stateful ones), passing notices as toasts, folders dropped on it, and a close that ends what
// runs.
class MainWindow : public Gtk::ApplicationWindow {
public:
    explicit MainWindow(std::shared_ptr<AppViewModel> viewModel);
    ~MainWindow() override;

    HeaderBar& header() { return header_; }
    ContentView& content() { return content_; }
    AppViewModel& viewModel() { return content_.viewModel(); }
    // The folder picker the controller is handed: the platform's folder chooser.
    void pickFolder(const FolderPickerRequest& request, std::function<void(std::optional<Url>)> answer);
    // The keyboard shortcuts window, made the first time it is shown.
    Gtk::Window& shortcutsWindow();

private:
    void addActions();
    // A boolean action whose state is a published flag: activating it flips the flag, and the
    // flag's every change shows in the state (and so in every control on the action).
    void addFlagAction(const char* name, Published<bool>& flag);

    bool closing_ = false;
    Gtk::Box frame_{Gtk::Orientation::VERTICAL};
    HeaderBar header_;
    ContentView content_;
    GtkWidget* toastOverlay_;
    Glib::RefPtr<Gtk::Builder> shortcuts_;
};

}  // namespace tarn
