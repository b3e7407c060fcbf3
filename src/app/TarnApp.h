#pragma once
#include "app/MainWindow.h"

#include <gtkmm/application.h>

namespace tarn {

// The application: one main window, folders given on the command line opened in it, the
// application's own commands (about, quit) and every keyboard shortcut.
class TarnApp : public Gtk::Application {
public:
    static Glib::RefPtr<TarnApp> create();
    MainWindow* window() const { return window_; }

    // Registers the window's resources (style, shortcuts) and loads the style; for tests too.
    static void loadResources();

protected:
    TarnApp();
    void on_startup() override;
    void on_activate() override;
    void on_open(const type_vec_files& files, const Glib::ustring& hint) override;

private:
    MainWindow& ensureWindow();
    void showAbout();
    MainWindow* window_ = nullptr;
};

}  // namespace tarn
