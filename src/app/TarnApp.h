#pragma once
#include <memory>
#include "app/MainWindow.h"

#include <gtkmm/application.h>

namespace tarn {

// The application: one main window, folders given on the command line opened in it, the
// application's own commands (about, quit) and every keyboard shortcut. Each launch is a window of
// its own (one window, one project): a second project opens beside the first, not over it.
class TarnApp : public Gtk::Application {
public:
    using ModelFactory = std::function<std::shared_ptr<AppViewModel>()>;
    // `makeModel` builds the window's controller; by default one with the users' settings.
    static Glib::RefPtr<TarnApp> create(ModelFactory makeModel = nullptr);
    MainWindow* window() const { return window_.get(); }

    // The program: a folder given alone on the command line starts opening before GTK does, so a
    // remembered plan's server starts while the window is being built. `prepare` sees the
    // application before it runs (the benchmarks watch its window).
    static int main(int argc, char** argv, const std::function<void(TarnApp&)>& prepare = {});
    // Binds the texts' translations; before any text is made.
    static void bindTranslations();
    // GTK's renderer for this machine, before GTK starts: cairo without a GPU (the user's
    // GSK_RENDERER wins). The benchmarks draw their baselines the same way.
    static void chooseRenderer();

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
    std::unique_ptr<MainWindow> window_;
    // The command line's folder is already opening: the first open asks for nothing more.
    bool openedEarly_ = false;
};

}  // namespace tarn
