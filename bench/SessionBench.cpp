// What the user feels during a session: the longest the main loop stalls (a frame is 16 ms)
// while a project opens, a request runs, an inline edit applies, versions switch and a server
// prints 100,000 lines; then how much Tarn's own process grows over a long session (200 preview
// reloads, 500 transcript messages, 100,000 console lines). The baseline of a stall is a bare GTK
// window with a web view reloading the same page (the engine's own stall); the idle window's is
// printed too. The memory growth is measured against the process after opening.
#include "BenchSupport.h"
#include "InProcessWindow.h"
#include "PageScript.h"
#include "app/MainWindow.h"
#include "app/TarnApp.h"
#include "support/StallProbe.h"

#include <gtkmm/init.h>

using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {

long long& paintStart() { static long long at = 0; return at; }
long long& longestPaint() { static long long longest = 0; return longest; }

long residentKiB() { return std::atol(statusField(getpid(), "VmRSS").c_str()); }

double ms(std::chrono::microseconds us) { return us.count() / 1000.0; }

struct Session {
    std::shared_ptr<tarn::AppViewModel> model = tarn::AppViewModel::create();
    tarn::MainWindow* window = new tarn::MainWindow(model);

    Session() {
        window->present();
        bool drawn = false;
        window->add_tick_callback([&drawn](const Glib::RefPtr<Gdk::FrameClock>&) {
            drawn = true;
            return false;
        });
        turnUntil([&] { return drawn; });
        turnUntil([&] { return model->agentsKnown(); });
        GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(window->gobj()));
        g_signal_connect(clock, "before-paint", G_CALLBACK(+[](GdkFrameClock*, gpointer) { paintStart() = g_get_monotonic_time(); }), nullptr);
        g_signal_connect(clock, "after-paint", G_CALLBACK(+[](GdkFrameClock*, gpointer) {
            longestPaint() = std::max(longestPaint(), g_get_monotonic_time() - paintStart());
        }), nullptr);
    }
    ~Session() { closeWindow(*model, window); }
    int pageLoads() const {
        return static_cast<int>(std::count_if(model->browser().consoleEntries->begin(), model->browser().consoleEntries->end(),
                                              [](const tarn::BrowserConsoleEntry& e) { return e.message == "storefront ready"; }));
    }
    bool run(tarn::Task<void> task) { return runToEnd(std::move(task)); }
    WebKitWebView* web() { return WEBKIT_WEB_VIEW(window->content().browser().preview().pageWidget()); }
};

}  // namespace

int main() {
    tarn::TarnApp::chooseRenderer();
    Gtk::init_gtkmm_internals();
    if (!gtk_init_check()) {
        std::fprintf(stderr, "needs a display: run it under xvfb-run\n");
        return 1;
    }
    tarn::TarnApp::loadResources();
    const fs::path base = fs::temp_directory_path() / "tarn-bench-session";
    std::vector<std::pair<std::string, double>> stalls;
    double idle = 0;
    long grownKiB = 0;
    {
        makeStorefront(base / "shop", freePort());
        Session s;
        tarn::StallProbe probe;
        auto measure = [&](const std::string& flow, const std::function<bool()>& step) {
            probe.reset();
            longestPaint() = 0;
            if (!step()) {
                std::fprintf(stderr, "%s did not finish\n", flow.c_str());
                std::exit(1);
            }
            stalls.emplace_back(flow, ms(probe.longest()));
            std::printf("%s: longest stall %.1f ms (longest frame %.1f ms)\n", flow.c_str(), stalls.back().second, longestPaint() / 1000.0);
        };
        measure("opening a project", [&] {
            s.model->openFolder((base / "shop").string());
            return turnUntil([&] { return s.pageLoads() > 0; });
        });
        probe.reset();
        auto quiet = Clock::now() + std::chrono::seconds(1);
        turnUntil([&] { return Clock::now() > quiet; });
        idle = ms(probe.longest());
        std::printf("the window left idle for a second: longest stall %.1f ms\n", idle);
        measure("an agent request (local agent)", [&] {
            s.model->requests().draftPrompt = "replace \"Order now\" with \"Order today\"";
            return s.run(s.model->requests().sendPrompt());
        });
        measure("an inline edit", [&] {
            tarn::InspectTarget title;
            title.selectionKey = "title";
            title.isSelected = true;
            title.selector = "h1.hero-title";
            title.tagName = "h1";
            title.textSnippet = "Fresh bread, every morning";
            title.fileGuess = "src/index.html";
            s.model->handleInspectSelection(title);
            s.model->selection().editSelected();
            s.model->selection().inlineTextDraft = "Warm bread, every morning";
            return s.run(s.model->requests().submitInlineEdit());
        });
        measure("a version switch (create, then back)", [&] {
            s.model->versions().newVersionName = "bench-idea";
            return s.run(s.model->createVersion()) && s.run(s.model->switchVersion("main"));
        });

        // The long session.
        turnUntil([&] { return s.pageLoads() > 0; });
        const long before = residentKiB();
        for (int i = 0; i < 200; ++i) {
            const int loads = s.pageLoads();
            s.model->browser().reload();
            if (!turnUntil([&] { return s.pageLoads() > loads; }, std::chrono::seconds(30))) {
                std::fprintf(stderr, "reload %d did not finish\n", i + 1);
                return 1;
            }
        }
        std::printf("after 200 reloads: %+ld KiB\n", residentKiB() - before);
        for (int i = 0; i < 500; ++i) s.model->chat().appendSystemMessage("Message " + std::to_string(i) + " of a long session, as long as a usual reply line.");
        { auto settle = Clock::now() + std::chrono::seconds(1); turnUntil([&] { return Clock::now() > settle; }); }
        std::printf("after 500 messages: %+ld KiB\n", residentKiB() - before);
        tarn::test::evaluateInPage(s.web(), "for (let i = 0; i < 100000; i++) console.log('console line ' + i); 0");
        turnUntil([&] { return !s.model->browser().consoleEntries->empty() && s.model->browser().consoleEntries->back().message == "console line 99999"; });
        // Let the window catch up with what it shows.
        auto settle = Clock::now() + std::chrono::seconds(1);
        turnUntil([&] { return Clock::now() > settle; });
        grownKiB = residentKiB() - before;
        std::printf("long session: %ld KiB before, %ld KiB after\n", before, before + grownKiB);
        // Another project, in the same window: a server that prints 100,000 lines as it starts.
        makeStorefront(base / "chatty", freePort());
        std::string manifest = readText(base / "chatty" / "package.json");
        manifest.replace(manifest.find("node server.mjs"), 15,
                         "node -e 'for (let i = 0; i < 100000; i++) console.log(\\\"compiled module \\\" + i)' && node server.mjs");
        std::ofstream(base / "chatty" / "package.json") << manifest;
        // Until the last line is in: the page loads after (its stall is the engine's, as above).
        measure("a server printing 100,000 lines", [&] {
            s.model->openFolder((base / "chatty").string());
            return turnUntil([&] {
                return std::any_of(s.model->server().serverLogLines->begin(), s.model->server().serverLogLines->end(),
                                   [](const std::string& line) { return line == "compiled module 99999"; });
            });
        });
    }
    double bare = 0;
    {
        // The baseline: a bare window with a web view, the same page reloaded five times.
        makeStorefront(base / "bare", freePort());
        const std::string manifest = readText(base / "bare" / "package.json");
        const auto at = manifest.find("--port ") + 7;
        const std::string port = manifest.substr(at, manifest.find('"', at) - at);
        Child server({"node", "server.mjs", "--port", port}, base / "bare");
        for (int wait = 0; wait < 500 && !pageAnswers(std::stoi(port)); ++wait) usleep(10000);
        GtkWidget* window = gtk_window_new();
        gtk_window_set_default_size(GTK_WINDOW(window), 1440, 900);
        GtkWidget* view = webkit_web_view_new();
        gtk_window_set_child(GTK_WINDOW(window), view);
        int loads = 0;
        g_signal_connect(view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
            if (event == WEBKIT_LOAD_FINISHED) ++*static_cast<int*>(data);
        }), &loads);
        gtk_window_present(GTK_WINDOW(window));
        webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), ("http://localhost:" + port + "/").c_str());
        turnUntil([&] { return loads > 0; });
        tarn::StallProbe probe;
        for (int i = 0; i < 5; ++i) {
            const int before = loads;
            webkit_web_view_reload(WEBKIT_WEB_VIEW(view));
            turnUntil([&] { return loads > before; });
        }
        auto settle = Clock::now() + std::chrono::milliseconds(500);
        turnUntil([&] { return Clock::now() > settle; });
        bare = ms(probe.longest());
        std::printf("bare window, a page reloaded: longest stall %.1f ms\n", bare);
        gtk_window_destroy(GTK_WINDOW(window));
        server.stop();
    }
    fs::remove_all(base);
    for (const auto& [flow, stall] : stalls) {
        tableRow("longest main-loop stall: " + flow, format("%.0f ms", stall), format("%.0f ms (bare window reloading the page)", bare), stall <= 50 ? "met" : "not met",
                 "<= 50 ms");
    }
    tableRow("long session growth (200 reloads, 500 messages, 100,000 console lines)", format("%.1f MiB", grownKiB / 1024.0),
             "-", grownKiB < 30 * 1024 ? "met" : "not met", "< 30 MiB");
    return 0;
}
