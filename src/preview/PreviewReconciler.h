#pragma once
#include "preview/AppWebView.h"
#include "support/Json.h"

#include <optional>
#include <string>
#include <vector>

namespace tarn {

// The few things the preview asks of a web engine.
class PreviewEngine {
public:
    virtual ~PreviewEngine() = default;
    virtual void load(const Url& url) = 0;
    virtual void reload() = 0;
    virtual std::optional<std::string> currentURL() const = 0;
    // Runs a script in the page; the result is not wanted.
    virtual void evaluate(const std::string& script) = 0;
};

// What the preview remembers of its own loads, so repeated window updates do not reload the page.
struct PreviewLoadState {
    std::optional<Url> lastLoadedURL;
    std::optional<Uuid> lastLoadAddressToken;
    std::optional<Uuid> lastReloadToken;
};

namespace preview {

// Brings the engine in line with a new value: the load-address token, the reload token, an
// address change, then the inspect mode and selections.
void reconcile(PreviewLoadState& state, const AppWebView& value, PreviewEngine& engine);

// The two bridge calls, given to the engine as they are.
void applyBridgeState(const AppWebView& value, PreviewEngine& engine);
std::string inspectModeCall(bool enabled);
// Absent when the keys cannot be written as JSON (they are not valid UTF-8).
std::optional<std::string> selectionsCall(const std::vector<std::string>& keys);

// The bridge's messages, decoded with the defaults for absent or mistyped keys. A body that is not
// an object gives nothing.
std::optional<BrowserConsoleEntry> decodeConsole(const json::Json& body);
std::optional<InspectTarget> decodeInspect(const json::Json& body);
std::optional<std::string> decodeRoute(const json::Json& body);

// An address on this machine (localhost, a loopback address): where a refused connection means the
// dev server does not listen yet, not that the page is broken.
bool isLocalAddress(const std::string& address);

// The route of a finished load: the address's path, percent-decoded; "/" without an address.
std::string routeOf(const std::optional<std::string>& address);

}  // namespace preview
}  // namespace tarn
