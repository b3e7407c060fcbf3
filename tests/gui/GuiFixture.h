#pragma once
#include "../workspace/WorkspaceFixture.h"
#include "app/TarnApp.h"

#include <gtk/gtk.h>
#include <webkit/webkit.h>

namespace tarn::test {

// The real window over a real controller: a project folder, the stand-in agent tools, and the
// application object with its actions and shortcuts.
class GuiFixture : public WorkspaceFixture {
protected:
    Glib::RefPtr<TarnApp> app;
    MainWindow* window = nullptr;
    int loadsStarted = 0;  // loads the preview's web view started

    // `withPage`: the web engine is loaded at once rather than after the first frame, so loads are counted.
    void launch(bool withPage = true) {
        if (!vm) make();
        app = TarnApp::create([this] { return vm; });
        app->register_application();
        app->activate();
        window = app->window();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(runLoopUntil([&] { return window->get_mapped(); }));
        if (withPage) g_signal_connect(webView(), "load-changed",
                         G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer count) {
                             if (event == WEBKIT_LOAD_STARTED) ++*static_cast<int*>(count);
                         }),
                         &loadsStarted);
        flush();
    }

    void TearDown() override {
        if (window) window->close();
        window = nullptr;
        flush();
        app.reset();
        WorkspaceFixture::TearDown();
    }

    ContentView& view() { return window->content(); }
    WebKitWebView* webView() { return WEBKIT_WEB_VIEW(view().browser().preview().pageWidget()); }

    // The dependency-free storefront fixture as the project, on a free port, a git working copy.
    int port = 0;
    void writeStorefront() {
        std::filesystem::copy(std::string(TARN_FIXTURES_DIR) + "/projects/storefront", project,
                              std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
        port = freeLocalPort();
        std::string manifest = readFile(project / "package.json");
        manifest = text::replaceAll(manifest, "--port 5199", "--port " + std::to_string(port));
        writeFile(project / "package.json", manifest);
        std::filesystem::create_directories(project / "node_modules");
        writeFile(project / ".gitignore", "node_modules\n.tarn\n");
        shell("git init -q -b main . && git config user.email t@example.com && git config user.name T && git add -A && "
              "git commit -qm init");
    }

    // Waits until the preview shows the page the server announced, its console line in.
    bool previewShowsThePage() {
        return runLoopUntil([&] {
            WebKitWebView* web = webView();
            const char* uri = web ? webkit_web_view_get_uri(web) : nullptr;
            bool console = std::any_of(vm->browser().consoleEntries->begin(), vm->browser().consoleEntries->end(),
                                       [](const BrowserConsoleEntry& e) { return e.message == "storefront ready"; });
            return uri && text::contains(uri, ":" + std::to_string(port)) && !webkit_web_view_is_loading(web) && console;
        }, std::chrono::seconds(60));
    }


    // Lets the window draw `count` more frames.
    void frames(int count) {
        int drawn = 0;
        guint id = window->add_tick_callback([&drawn](const Glib::RefPtr<Gdk::FrameClock>&) {
            ++drawn;
            return true;
        });
        window->queue_draw();
        runLoopUntil([&] { return drawn >= count; }, std::chrono::seconds(20));
        window->remove_tick_callback(id);
    }

    // Lets every update already asked for (the views' once-per-turn updates) run.
    void flush() {
        bool done = false;
        // After the views' own updates, before drawing: frames may come back to back while a
        // ring turns, and they must not starve the test.
        g_idle_add_full(G_PRIORITY_HIGH_IDLE + 10, [](gpointer data) -> gboolean {
            *static_cast<bool*>(data) = true;
            return G_SOURCE_REMOVE;
        }, &done, nullptr);
        runLoopUntil([&] { return done; });
    }

    void activate(const std::string& action, const Glib::VariantBase& parameter = {}) {
        window->activate_action(action, parameter);
        flush();
    }

    // Return in a field.
    void pressReturn(Gtk::Entry& field) {
        g_signal_emit_by_name(field.gobj(), "activate");
        flush();
    }

    // A click, at once (activating a button waits for its pressed look to end).
    void click(Gtk::Button& button) {
        g_signal_emit_by_name(button.gobj(), "clicked");
        flush();
    }

    static std::string textOf(const Gtk::TextView& editor) { return editor.get_buffer()->get_text(); }

    // The first shown button under `root` whose label reads `label`.
    static Gtk::Button* buttonLabelled(Gtk::Widget& root, const std::string& label) {
        if (!root.get_visible()) return nullptr;
        if (auto* button = dynamic_cast<Gtk::Button*>(&root); button && button->get_label().raw() == label) return button;
        for (auto* child = root.get_first_child(); child; child = child->get_next_sibling()) {
            if (auto* found = buttonLabelled(*child, label)) return found;
        }
        return nullptr;
    }
};

}  // namespace tarn::test
