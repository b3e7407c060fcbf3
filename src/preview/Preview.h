#pragma once
#include "model/BrowserConsoleEntry.h"
#include "model/InspectTarget.h"
#include "model/PreviewLoad.h"
#include "support/Url.h"

#include <gtk/gtk.h>
#include <optional>
#include <sigc++/signal.h>
#include <string>
#include <vector>

namespace tarn {

// The preview as the window sees it: a widget that loads pages, with the page bridge in every
// frame. No web engine header is needed to use it, so the window can load the engine (a module)
// after its first frame.
class Preview {
public:
    virtual ~Preview() = default;

    virtual GtkWidget* widget() const = 0;
    virtual void load(const Url& address) = 0;
    // Starts the engine's processes before the first address is known. Does nothing after a load.
    virtual void warmUp() = 0;
    // The page shown, at the route it navigated to; the address last asked for when no page
    // came of it (nothing answered).
    virtual void reload() = 0;
    // The address of the page shown; absent before the first load.
    virtual std::optional<std::string> address() const = 0;
    virtual void setInspectMode(bool enabled) = 0;
    virtual void setSelections(std::vector<std::string> selectionKeys) = 0;
    virtual void tryStyle(const std::string& selectionKey, const std::string& property, const std::string& value) = 0;
    virtual void takeBackStyles() = 0;

    sigc::signal<void(const BrowserConsoleEntry&)> console;
    sigc::signal<void(const InspectTarget&)> inspected;
    sigc::signal<void(const std::string&)> routeChanged;
    // Every load that ends, except one a newer load replaced.
    sigc::signal<void(const PreviewLoad&)> loadEnded;
};

// The module's one entry point: a new preview, owned by the caller.
using PreviewFactory = Preview* (*)();
inline constexpr const char* previewFactoryName = "tarn_preview_new";

}  // namespace tarn
