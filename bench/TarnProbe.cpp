// Tarn itself, started as users start it (with a project folder), reporting what the window
// benchmark measures: "first-frame <monotonic µs>" at the window's first frame and "loaded" once
// the preview has loaded the page the dev server announced. With TARN_TRACE set, Tarn's own marks
// go to standard error.
#include "app/TarnApp.h"

#include <cstdio>

int main(int argc, char** argv) {
    return tarn::TarnApp::main(argc, argv, [](tarn::TarnApp& app) {
        app.signal_window_added().connect([](Gtk::Window* added) {
            added->add_tick_callback([](const Glib::RefPtr<Gdk::FrameClock>&) {
                std::printf("first-frame %lld\n", static_cast<long long>(g_get_monotonic_time()));
                std::fflush(stdout);
                return false;
            });
            auto* window = dynamic_cast<tarn::MainWindow*>(added);
            if (!window) return;
            // The page is in when its own script has run: its console line arrives through the bridge.
            auto model = window->content().sharedViewModel();
            std::weak_ptr<tarn::AppViewModel> weak = model;
            auto reported = std::make_shared<bool>(false);
            model->browser().consoleEntries.observe([weak, reported] {
                auto m = weak.lock();
                if (!m || *reported || m->browser().consoleEntries->empty() || m->browser().consoleEntries->back().message != "storefront ready") return;
                *reported = true;
                std::printf("loaded\n");
                std::fflush(stdout);
            });
        });
    });
}
