#pragma once
#include "model/BrowserConsoleEntry.h"
#include "model/DeviceWidth.h"
#include "model/PreviewLoad.h"
#include "support/Published.h"
#include "support/RollingList.h"
#include "support/Url.h"
#include "workspace/Chat.h"
#include "workspace/PreviewFollower.h"
#include "workspace/PreviewHost.h"

#include <optional>
#include <string>

namespace tarn {

// The preview and what surrounds it: the address bar and the address shown, loads and reloads
// (asked of the window's preview), the page's route and console, and the notice shown while the
// dev server cannot give a page.
class Browser {
public:
    explicit Browser(Chat& chat) : chat_(chat) {}

    Published<std::string> browserAddress{"http://localhost:3000"};
    Published<std::optional<Url>> currentURL;
    Published<bool> isBrowserExpanded{false};
    Published<std::string> routeLabel{"/"};
    Published<RollingList<BrowserConsoleEntry>> consoleEntries;
    Published<PreviewNotice> previewNotice{PreviewNotice::none};
    // The width the page is laid out at; kept per project.
    Published<DeviceWidth> deviceWidth{DeviceWidth::desktop};

    static constexpr std::size_t consoleLimit = 400;

    // A project's address, loaded now: its server is on its way.
    void open(const Url& address);
    // The address a server announced.
    void announced(const Url& address);
    void reload();
    void tryStyle(const std::string& selectionKey, const std::string& property, const std::string& value) {
        if (host_) host_->tryStyle(selectionKey, property, value);
    }
    void takeBackStyles() {
        if (host_) host_->takeBackStyles();
    }
    // The address bar's text, as typed.
    void loadTypedAddress();
    void toggleExpanded() { isBrowserExpanded = !*isBrowserExpanded; }
    void appendConsoleEntry(BrowserConsoleEntry entry);
    void loadEnded(const PreviewLoad& load) {
        leaving_ = false;
        follower_.loadEnded(load);
    }
    // A server is on its way, or gone.
    void expectServer(bool expected) { follower_.expectServer(expected); }
    // The window's preview waits for the first page of a server on its way.
    bool awaitingPage() const { return host_ && follower_.awaitingPage(); }

    // The window's preview, or none (it is gone). Attaching loads the current address, once.
    void attach(PreviewHost* host);
    // A project is opening: the preview's engine starts alongside its server, now or once attached.
    void prepare();

private:
    void show(const Url& address);
    // The current address, in the preview.
    void load();

    Chat& chat_;
    PreviewHost* host_ = nullptr;
    bool leaving_ = false;  // the page is being replaced by a reload Tarn asked for
    bool prepare_ = false;  // asked before a preview was attached
    PreviewFollower follower_{previewNotice, [this] { load(); }, [this] { return localPort(); }};
    int localPort() const;
};

}  // namespace tarn
