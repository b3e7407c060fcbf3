#include "app/MainWindow.h"

#include <adwaita.h>
#include <gtkmm/application.h>

int main(int argc, char* argv[]) {
    auto app = Gtk::Application::create("dev.tarn.Tarn", Gio::Application::Flags::NONE);
    app->signal_startup().connect([] { adw_init(); });
    app->signal_activate().connect([&app] {
        auto* window = new tarn::MainWindow();
        app->add_window(*window);
        window->signal_hide().connect([window] { delete window; });
        window->present();
    });
    return app->run(argc, argv);
}
