// From opening a project to its page in the preview, on the dependency-free storefront with no
// agent tool, against the dev server's own start: the same command, started by hand, until its
// page answers. Medians of 5 runs each.
#include "BenchSupport.h"
#include "InProcessWindow.h"
#include "app/MainWindow.h"
#include "app/TarnApp.h"
#include "support/Trace.h"

#include <gtkmm/init.h>
#include <webkit/webkit.h>

using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {

double tarnOpenToPreview(const fs::path& project, int port) {
    auto model = tarn::AppViewModel::create();
    auto* window = new tarn::MainWindow(model);
    window->present();
    bool drawn = false;
    window->add_tick_callback([&drawn](const Glib::RefPtr<Gdk::FrameClock>&) {
        drawn = true;
        return false;
    });
    // A window ready for work: drawn, and its agent column made (in the idle time after that).
    turnUntil([&] { return drawn && window->content().agent().isBuilt(); }, std::chrono::seconds(30));

    // The page is in when its own script has run: its console line arrives through the bridge.
    auto pageIn = [&] {
        return std::any_of(model->browser().consoleEntries->begin(), model->browser().consoleEntries->end(),
                           [](const tarn::BrowserConsoleEntry& e) { return e.message == "storefront ready"; });
    };
    auto start = Clock::now();
    tarn::trace::mark("opening");
    tarn::spawn(model->loadProject(tarn::Url::forFile(project.string())));
    turnUntil(pageIn, std::chrono::seconds(60));
    double ms = pageIn() ? std::chrono::duration<double, std::milli>(Clock::now() - start).count() : -1;

    closeWindow(*model, window);
    return ms;
}

double serverAlone(const fs::path& project, int port) {
    auto start = Clock::now();
    Child server({"/bin/zsh", "-lc", "npm run dev"}, project);
    while (!pageAnswers(port) && Clock::now() - start < std::chrono::seconds(60)) usleep(2000);
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    server.stop();
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    tarn::TarnApp::chooseRenderer();
    Gtk::init_gtkmm_internals();
    if (!gtk_init_check()) {
        std::fprintf(stderr, "needs a display: run it under xvfb-run\n");
        return 1;
    }
    tarn::TarnApp::loadResources();
    fs::path base = fs::temp_directory_path() / "tarn-bench-open";
    std::vector<double> tarn, alone;
    for (int i = 0; i < 5; ++i) {
        int port = freePort();
        makeStorefront(base / "alone", port);
        alone.push_back(serverAlone(base / "alone", port));
        usleep(200000);
        port = freePort();
        makeStorefront(base / "tarn", port);
        tarn.push_back(tarnOpenToPreview(base / "tarn", port));
        std::printf("run %d: open to preview %.0f ms; server alone %.0f ms\n", i + 1, tarn.back(), alone.back());
        if (tarn.back() < 0) return 1;
    }
    fs::remove_all(base);
    double t = median(tarn), a = median(alone);
    tableRow("open to preview", format("%.0f ms", t), format("%.0f ms", a), format("%+.0f ms", t - a), "<= +50 ms");
    return 0;
}
