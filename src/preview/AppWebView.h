#pragma once
#include "support/Url.h"
#include "support/Uuid.h"
#include "model/BrowserConsoleEntry.h"
#include "model/InspectTarget.h"
#include "model/PreviewLoad.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// What the window wants the preview to show, rebuilt from the controller's state on every change.
struct AppWebView {
    std::optional<Url> url;
    Uuid loadAddressToken;
    bool inspectModeEnabled = false;
    std::vector<std::string> selectedSelectionKeys;
    Uuid reloadToken;
    std::function<void(const BrowserConsoleEntry&)> onConsole;
    std::function<void(const InspectTarget&)> onInspect;
    std::function<void(const std::string&)> onRoute;
    // Every load that ends, except one a newer load replaced.
    std::function<void(const PreviewLoad&)> onLoad;
};

}  // namespace tarn
