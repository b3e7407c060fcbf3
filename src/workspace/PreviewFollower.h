#pragma once
#include "model/PreviewLoad.h"
#include "support/Published.h"
#include "support/Task.h"
#include "support/Url.h"
#include "support/Uuid.h"

#include <chrono>
#include <optional>

namespace tarn {

// Keeps the preview on the dev server, whatever the server prints and whenever it starts to
// answer: while a server is expected, a load that nothing answers is tried again (backing off a
// little each time) and a notice says the server is awaited; an announced address is loaded
// unless the preview already shows it.
class PreviewFollower {
public:
    PreviewFollower(Published<std::optional<Url>>& currentURL, Published<Uuid>& loadAddressToken,
                    Published<PreviewNotice>& notice);
    ~PreviewFollower();
    PreviewFollower(const PreviewFollower&) = delete;
    PreviewFollower& operator=(const PreviewFollower&) = delete;

    // A server is on its way (a project opens, the server starts) or is gone (stopped, failed).
    void expectServer(bool expected);
    void addressAnnounced(const Url& address);
    void loadEnded(const PreviewLoad& load);


    // Two addresses name the same page ("http://localhost:3000" and "http://localhost:3000/").
    static bool sameAddress(const std::string& a, const std::string& b);

    static constexpr std::chrono::milliseconds firstRetry{250};
    static constexpr std::chrono::milliseconds longestRetry{2000};

private:
    void scheduleRetry();
    void cancelRetry();
    Task<void> retryAfter(std::chrono::milliseconds delay, Cancellation cancelled);

    Published<std::optional<Url>>& currentURL_;
    Published<Uuid>& loadAddressToken_;
    Published<PreviewNotice>& notice_;
    bool expected_ = false;
    std::optional<std::string> shown_;  // the address of the page the preview shows, if it loaded
    std::chrono::milliseconds nextDelay_ = firstRetry;
    std::optional<Cancellation> retry_;
};

}  // namespace tarn
