#pragma once
#include "preview/AppWebView.h"
#include "preview/PreviewReconciler.h"

#include <webkit/webkit.h>

namespace tarn {

// Owns the preview's web view: injects the bridge into every frame, turns the window's state into
// loads, reloads and bridge calls, and the bridge's messages into console entries, inspect targets
// and routes for the callbacks of the newest value.
class PreviewCoordinator : private PreviewEngine {
public:
    explicit PreviewCoordinator(AppWebView parent);
    ~PreviewCoordinator() override;
    PreviewCoordinator(const PreviewCoordinator&) = delete;
    PreviewCoordinator& operator=(const PreviewCoordinator&) = delete;

    // Builds the engine view (a floating widget reference for the caller's widget tree).
    GtkWidget* makeView();
    void updateView(const AppWebView& value);
    // Unregisters the message handlers; pages still loading reach no handler afterwards.
    void dismantleView();

    WebKitWebView* webView() const { return webView_; }
    const AppWebView& parent() const { return parent_; }

    static constexpr const char* messageNames[3] = {"tarnConsole", "tarnInspect", "tarnRoute"};
    // WebKitGTK has no per-request time-out: a load still running after this long is stopped.
    static constexpr unsigned loadTimeoutSeconds = 60;

private:
    void load(const Url& url) override;
    void reload() override;
    std::optional<std::string> currentURL() const override;
    void evaluate(const std::string& script) override;

    void received(const char* name, JSCValue* value);
    // A failed or stopped load finishes too, with nothing to report.
    void loadFinished(bool succeeded);
    void loadCommitted();
    // Reports the failure; true to hold back the engine's error page.
    bool loadFailed(const std::string& address, GError* error);
    void disconnect();

    AppWebView parent_;
    WebKitWebView* webView_ = nullptr;  // weak: the widget tree owns it
    PreviewLoadState state_;
    std::vector<gulong> handlers_;
    gulong loadHandler_ = 0;
    gulong failedHandler_ = 0;
    bool loadFailed_ = false;
    guint loadTimeout_ = 0;
};

}  // namespace tarn
