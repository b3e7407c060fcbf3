#pragma once
#include "TestHttpServer.h"
#include "PageScript.h"
#include "TestSupport.h"
#include "preview/BridgeScript.h"
#include "preview/PreviewView.h"
#include "support/Json.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <memory>

namespace tarn::test {

// A real window holding the preview, its pages served from 127.0.0.1, and what the page reported.
class PreviewHarness : public ::testing::Test {
protected:
    TestHttpServer server;
    std::vector<BrowserConsoleEntry> console;
    std::vector<InspectTarget> inspected;
    std::vector<std::string> routes;
    std::vector<PreviewLoad> loads;
    std::unique_ptr<PreviewView> preview = std::make_unique<PreviewView>();
    GtkWidget* window = nullptr;

    void SetUp() override {
        preview->console.connect([this](const BrowserConsoleEntry& e) { console.push_back(e); });
        preview->inspected.connect([this](const InspectTarget& t) { inspected.push_back(t); });
        preview->routeChanged.connect([this](const std::string& r) { routes.push_back(r); });
        preview->loadEnded.connect([this](const PreviewLoad& load) { loads.push_back(load); });
    }
    void TearDown() override {
        if (window) gtk_window_destroy(GTK_WINDOW(window));
        preview.reset();
        runLoopUntil([] { return false; }, std::chrono::milliseconds(50));
    }

    // Shows the preview in a window of the given size at the screen's top left corner.
    void open(std::optional<std::string> address, int width = 800, int height = 600) {
        window = gtk_window_new();
        gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
        gtk_window_set_default_size(GTK_WINDOW(window), width, height);
        gtk_window_set_child(GTK_WINDOW(window), preview->widget());
        gtk_window_present(GTK_WINDOW(window));
        if (address) preview->load(*Url::parse(*address));
    }
    WebKitWebView* view() const { return preview->webView(); }

    bool waitForLoad() {
        return runLoopUntil([&] { return !webkit_web_view_is_loading(view()) && !routes.empty(); },
                            std::chrono::seconds(30));
    }

    // Runs a script in the main frame and gives its result as JSON text.
    std::string js(const std::string& script) { return evaluateInPage(view(), script); }

    // Waits until every message the page posted so far has arrived: a marker posted after them
    // comes through the same channel, in order.
    void barrier() {
        std::string marker = "tarn-barrier-" + Uuid().string();
        js("window.webkit.messageHandlers.tarnConsole.postMessage({level: 'log', message: '" + marker + "'}); 1");
        auto arrived = [&] { return !console.empty() && console.back().message == marker; };
        ASSERT_TRUE(runLoopUntil(arrived, std::chrono::seconds(20)));
        console.pop_back();
    }
    // Waits until a script's JSON result is `expected` (the page may still be settling).
    bool eventually(const std::string& script, const std::string& expected) {
        return runLoopUntil([&] { return js(script) == expected; }, std::chrono::seconds(20));
    }
};

}  // namespace tarn::test
