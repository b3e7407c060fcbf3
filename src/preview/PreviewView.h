#pragma once
#include "model/BrowserConsoleEntry.h"
#include "model/InspectTarget.h"
#include "model/PreviewLoad.h"
#include "support/GObjectPtr.h"
#include "support/Url.h"

#include <optional>
#include <sigc++/signal.h>
#include <string>
#include <vector>
#include <webkit/webkit.h>

namespace tarn {

// The preview: a web view with the page bridge in every frame. It is told what to load and what
// the bridge should know, and says what the page reported.
class PreviewView {
public:
    PreviewView();
    // Unregisters the message handlers: pages still loading reach no handler afterwards.
    ~PreviewView();
    PreviewView(const PreviewView&) = delete;
    PreviewView& operator=(const PreviewView&) = delete;

    GtkWidget* widget() const { return GTK_WIDGET(view_.get()); }
    WebKitWebView* webView() const { return view_.get(); }

    void load(const Url& address);
    // Starts the engine's processes before the first address is known. Does nothing after a load.
    void warmUp();
    // The page shown, at the route it navigated to; the address last asked for when no page
    // came of it (nothing answered).
    void reload();
    // The address of the page shown; absent before the first load.
    std::optional<std::string> address() const;
    void setInspectMode(bool enabled);
    void setSelections(std::vector<std::string> selectionKeys);
    void tryStyle(const std::string& selectionKey, const std::string& property, const std::string& value);
    void takeBackStyles();

    sigc::signal<void(const BrowserConsoleEntry&)> console;
    sigc::signal<void(const InspectTarget&)> inspected;
    sigc::signal<void(const std::string&)> routeChanged;
    // Every load that ends, except one a newer load replaced.
    sigc::signal<void(const PreviewLoad&)> loadEnded;

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
