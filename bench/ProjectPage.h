#pragma once
// What the evaluations on real projects share: a project's dev server started, its page loaded in
// the preview (the bridge injected) in a window of its own, reloaded until its text settles, and
// the server seen to its end afterwards, so the next project gets the port.
#include "PageScript.h"
#include "model/ProjectContext.h"
#include "preview/PreviewView.h"
#include "process/DevServerController.h"
#include "process/ServerOutput.h"
#include "support/Text.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <gtk/gtk.h>

namespace bench {

inline bool turnUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        g_main_context_iteration(nullptr, FALSE);
        if (!done()) g_usleep(2000);
    }
    return true;
}

class ProjectPage {
public:
    // Starts the project's `npm run dev`; false (said on standard error) when it announces no address.
    bool open(const std::filesystem::path& root) {
        server_.onOutputLine = [this](const std::string& line) {
            if (auto url = tarn::serverOutput::localAddress(tarn::text::stripTerminalEscapes(line)); url && !address_) address_ = url;
        };
        tarn::ProjectContext context{tarn::Url::forFile(root.string()), tarn::SupportedStack::unknown, tarn::PackageManager::npm,
                                     "npm install", "npm run dev", *tarn::Url::parse("http://localhost:5173"), "", {}, {},
                                     std::nullopt};
        server_.start(context);
        if (!turnUntil([&] { return address_.has_value(); }, std::chrono::seconds(120))) {
            std::fprintf(stderr, "%s: the server announced no address\n", root.c_str());
            return false;
        }
        preview_ = std::make_unique<tarn::PreviewView>();
        window_ = gtk_window_new();
        gtk_window_set_default_size(GTK_WINDOW(window_), 1280, 900);
        gtk_window_set_child(GTK_WINDOW(window_), preview_->widget());
        gtk_window_present(GTK_WINDOW(window_));
        reload();
        return true;
    }

    ~ProjectPage() {
        server_.stop();
        turnUntil([&] { return !server_.isRunning(); }, std::chrono::seconds(10));
        g_usleep(1000000);
        if (window_) gtk_window_destroy(GTK_WINDOW(window_));
        preview_.reset();
    }

    WebKitWebView* view() const { return preview_->webView(); }
    std::string js(const std::string& script) const { return tarn::test::evaluateInPage(view(), script); }

    // Loads the page again and waits until it has text and the text stops changing (frameworks
    // render after the load).
    void reload() {
        webkit_web_view_load_uri(view(), address_->string().c_str());
        turnUntil([&] {
            return !webkit_web_view_is_loading(view()) && js("document.readyState") == "\"complete\"" &&
                   js("document.body && document.body.innerText.trim().length > 0") == "true";
        }, std::chrono::seconds(60));
        std::string before;
        turnUntil([&] {
            std::string now = js("document.body.innerText.length");
            bool same = now == before;
            before = now;
            g_usleep(300000);
            return same;
        }, std::chrono::seconds(20));
    }

private:
    tarn::DevServerController server_;
    std::optional<tarn::Url> address_;
    std::unique_ptr<tarn::PreviewView> preview_;
    GtkWidget* window_ = nullptr;
};

}  // namespace bench
