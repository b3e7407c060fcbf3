#pragma once
#include "model/BrowserConsoleEntry.h"
#include "model/DeviceWidth.h"
#include "model/PreviewLoad.h"
#include "support/Published.h"
#include "support/RollingList.h"
#include "support/Url.h"
#include "support/Uuid.h"
#include "workspace/Chat.h"
#include "workspace/PreviewFollower.h"

#include <optional>
#include <string>

namespace tarn {

// The preview and what surrounds it: the address bar and the address shown, the one-off load and
// reload requests, the page's route and console, and the notice shown while the dev server cannot
// give a page.
class Browser {
public:
    explicit Browser(Chat& chat) : chat_(chat) {}

    Published<std::string> browserAddress{"http://localhost:3000"};
    Published<std::optional<Url>> currentURL;
    Published<Uuid> loadAddressToken;
    Published<Uuid> reloadToken;
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
    void reload() { reloadToken = Uuid(); }
    // The address bar's text, as typed.
    void loadTypedAddress();
    void toggleExpanded() { isBrowserExpanded = !*isBrowserExpanded; }
    void appendConsoleEntry(BrowserConsoleEntry entry);
    void loadEnded(const PreviewLoad& load) { follower_.loadEnded(load); }
    // A server is on its way, or gone.
    void expectServer(bool expected) { follower_.expectServer(expected); }

private:
    void show(const Url& address);

    Chat& chat_;
    PreviewFollower follower_{currentURL, loadAddressToken, previewNotice};
};

}  // namespace tarn
