#pragma once
#include "model/PreviewLoad.h"
#include "support/Published.h"
#include "support/Task.h"
#include "support/Url.h"

#include <chrono>
#include <functional>
#include <optional>

namespace tarn {

// Keeps the preview on the dev server, whatever the server prints and whenever it starts to
// answer: while a server is expected, a load that nothing answers is tried again (backing off a
// little each time, and at once when its port starts to accept connections) and a notice says
// the server is awaited; an announced address is loaded unless the preview already shows it.
class PreviewFollower {
public:
    // `loadAgain` loads the current address again; `localPort` is its port on this machine, or 0
    // for an address elsewhere.
    PreviewFollower(Published<PreviewNotice>& notice, std::function<void()> loadAgain, std::function<int()> localPort = {});
    ~PreviewFollower();
    PreviewFollower(const PreviewFollower&) = delete;
    PreviewFollower& operator=(const PreviewFollower&) = delete;

    // A server is on its way (a project opens, the server starts) or is gone (stopped, failed).
    void expectServer(bool expected);
    void addressAnnounced(const Url& address);
    // The address is local and its server is only starting: it is loaded once its port answers
    // (or, should it never, after the longest wait, the usual way).
    void awaitServer();
    // The preview was asked for this address; until it ends, announcing it again does not cut it off.
    void loadStarted(const std::string& address) { loading_ = address; }
    void loadEnded(const PreviewLoad& load);
    // A server is on its way and no page of it is shown yet.
    bool awaitingPage() const { return expected_ && !shown_; }


    // Two addresses name the same page ("http://localhost:3000" and "http://localhost:3000/").
    static bool sameAddress(const std::string& a, const std::string& b);

    static constexpr std::chrono::milliseconds firstRetry{250};
    static constexpr std::chrono::milliseconds longestRetry{2000};
    // How often a local port is tried while a retry waits: far cheaper than a load.
    static constexpr std::chrono::milliseconds portProbe{20};

private:
    void scheduleRetry();
    void cancelRetry();
    Task<void> retryAfter(std::chrono::milliseconds delay, Cancellation cancelled);

    Published<PreviewNotice>& notice_;
    std::function<void()> loadAgain_;
    std::function<int()> localPort_;
    bool expected_ = false;
    std::optional<std::string> shown_;  // the address of the page the preview shows, if it loaded
    std::optional<std::string> loading_;  // the load under way
    std::chrono::milliseconds nextDelay_ = firstRetry;
    std::optional<Cancellation> retry_;
};

}  // namespace tarn
