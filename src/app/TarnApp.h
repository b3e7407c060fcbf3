#pragma once
#include "app/MainWindow.h"

#include <gtkmm/application.h>

namespace tarn {

// The application: one main window, folders given on the command line opened in it, the
// application's own commands (about, quit) and every keyboard shortcut.
class TarnApp : public Gtk::Application {
public:
    using ModelFactory = std::function<std::shared_ptr<AppViewModel>()>;
    // `makeModel` builds the window's controller; by default one with the users' settings.
    static Glib::RefPtr<TarnApp> create(ModelFactory makeModel = nullptr);
    MainWindow* window() const { return window_; }

    // Registers the window's resources (style, shortcuts) and loads the style; for tests too.
    static void loadResources();
    // Every keyboard shortcut: an action and its accelerator.
    static const std::vector<std::pair<const char*, const char*>>& accelerators();

protected:
    explicit TarnApp(ModelFactory makeModel);
    void on_startup() override;
    void on_activate() override;
    void on_open(const type_vec_files& files, const Glib::ustring& hint) override;

private:
    MainWindow& ensureWindow();
    void showAbout();
    ModelFactory makeModel_;
    MainWindow* window_ = nullptr;
};

}  // namespace tarn
