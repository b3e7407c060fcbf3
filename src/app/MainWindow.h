#pragma once
#include "app/ContentView.h"

#include <gtkmm/applicationwindow.h>

namespace tarn {

// Tarn's one window: the content view, the window's commands as actions (buttons, menus and
// keyboard shortcuts share them), folders dropped on it, and a close that ends what runs.
class MainWindow : public Gtk::ApplicationWindow {
public:
    explicit MainWindow(std::shared_ptr<AppViewModel> viewModel);
    ~MainWindow() override;

    ContentView& content() { return content_; }
    AppViewModel& viewModel() { return content_.viewModel(); }
    // The folder picker the controller is handed: the platform's folder chooser.
    void pickFolder(const FolderPickerRequest& request, std::function<void(std::optional<Url>)> answer);

private:
    void addActions();
    bool closing_ = false;
    ContentView content_;
};

}  // namespace tarn
