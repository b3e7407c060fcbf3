#include "workspace/Browser.h"
#include "support/Translate.h"

namespace tarn {

void Browser::show(const Url& address) {
    browserAddress = address.string();
    currentURL = address;
}

void Browser::open(const Url& address) {
    show(address);
    follower_.expectServer(true);
    load();
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
    load();
}

void Browser::load() {
    if (!host_ || !*currentURL) return;
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
