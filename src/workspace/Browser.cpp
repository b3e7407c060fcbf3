#include "workspace/Browser.h"
#include "support/Translate.h"

#include <utility>

namespace tarn {

void Browser::show(const Url& address) {
    browserAddress = address.string();
    currentURL = address;
}

void Browser::open(const Url& address) {
    show(address);
    follower_.expectServer(true);
    // A page asked of a port nobody listens on yet costs the engine most of a second to refuse.
    if (localPort() > 0) follower_.awaitServer();
    else load();
}

void Browser::announced(const Url& address) {
    show(address);
    follower_.addressAnnounced(address);
}

void Browser::loadTypedAddress() {
    auto url = Url::fromAddressBar(*browserAddress);
    if (!url) {
        chat_.appendSystemMessage(_("Invalid URL."));

        return;
    }
    show(*url);
    load();
}

void Browser::attach(PreviewHost* host) {
    host_ = host;
    if (host_ && std::exchange(prepare_, false)) host_->warmUp();
    load();
}

int Browser::localPort() const {
    if (!*currentURL) return 0;
    const Url& url = **currentURL;
    if (!url.isLocal() || (url.scheme() != "http" && url.scheme() != "https")) return 0;
    return url.port() > 0 ? url.port() : url.scheme() == "https" ? 443 : 80;
}

void Browser::prepare() {
    if (host_) host_->warmUp();
    else prepare_ = true;
}

void Browser::load() {
    if (!host_ || !*currentURL) return;
    follower_.loadStarted((*currentURL)->string());
    host_->load(**currentURL);
}

void Browser::reload() {
    if (!host_) return;
    leaving_ = true;
    host_->reload();
}

void Browser::appendConsoleEntry(BrowserConsoleEntry entry) {
    // What the old page says as it is torn down (a hot update cut off by the reload after an edit)
    // is no error of the project's.
    if (leaving_) return;
    consoleEntries.modify([&](auto& list) {
        list.push_back(std::move(entry));
        list.trimTo(consoleLimit);
    });
}

}  // namespace tarn
