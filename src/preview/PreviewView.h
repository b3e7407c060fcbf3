#pragma once
#include "preview/Preview.h"
#include "support/GObjectPtr.h"

#include <webkit/webkit.h>

namespace tarn {

// The preview over WebKit: a web view with the page bridge in every frame. It is told what to
// load and what the bridge should know, and says what the page reported.
class PreviewView final : public Preview {
public:
    PreviewView();
    // Unregisters the message handlers: pages still loading reach no handler afterwards.
    ~PreviewView() override;
    PreviewView(const PreviewView&) = delete;
    PreviewView& operator=(const PreviewView&) = delete;

    GtkWidget* widget() const override { return GTK_WIDGET(view_.get()); }
    WebKitWebView* webView() const { return view_.get(); }

    void load(const Url& address) override;
    void warmUp() override;
    void reload() override;
    std::optional<std::string> address() const override;
    void setInspectMode(bool enabled) override;
    void setSelections(std::vector<std::string> selectionKeys) override;
    void tryStyle(const std::string& selectionKey, const std::string& property, const std::string& value) override;
    void takeBackStyles() override;

    static constexpr const char* messageNames[3] = {"tarnConsole", "tarnInspect", "tarnRoute"};
    // WebKitGTK has no per-request time-out: a load still running after this long is stopped.
    static constexpr unsigned loadTimeoutSeconds = 60;

private:
    void received(const char* name, JSCValue* value);
    void loadCommitted();
    // Reports the failure; true to hold back the engine's error page.
    bool loadFailed(const std::string& address, GError* error);
    // A failed or stopped load finishes too, with nothing to report.
    void loadFinished(bool succeeded);
    // The bridge is told again after every load: a new page starts knowing nothing.
    void tellBridge();
    void evaluate(const std::string& script);
    void stopTimeout();

    GObjectPtr<WebKitWebView> view_;
    std::vector<gulong> messageHandlers_;
    gulong loadHandler_ = 0;
    gulong failedHandler_ = 0;
    bool loadFailed_ = false;
    std::optional<Url> asked_;  // the last address asked for
    bool committed_ = false;    // a page came of it
    guint loadTimeout_ = 0;
    bool inspectMode_ = false;
    std::vector<std::string> selections_;
};

}  // namespace tarn
