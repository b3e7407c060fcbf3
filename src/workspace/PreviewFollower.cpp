#include "workspace/PreviewFollower.h"

#include "support/Loopback.h"

#include <algorithm>

namespace tarn {

PreviewFollower::PreviewFollower(Published<PreviewNotice>& notice, std::function<void()> loadAgain, std::function<int()> localPort)
    : notice_(notice), loadAgain_(std::move(loadAgain)), localPort_(std::move(localPort)) {}

PreviewFollower::~PreviewFollower() { cancelRetry(); }

bool PreviewFollower::sameAddress(const std::string& a, const std::string& b) {
    auto x = Url::parse(a), y = Url::parse(b);
    if (!x || !y) return a == b;
    auto key = [](const Url& u) {
        std::string s = u.string();
        // An empty path is the root path.
        auto afterAuthority = s.find("://");
        auto slash = afterAuthority == std::string::npos ? std::string::npos : s.find('/', afterAuthority + 3);
        if (slash == std::string::npos) {
            auto rest = s.find_first_of("?#", afterAuthority == std::string::npos ? 0 : afterAuthority + 3);
            s.insert(rest == std::string::npos ? s.size() : rest, "/");
        }
        return s;
    };
    return key(*x) == key(*y);
}

void PreviewFollower::expectServer(bool expected) {
    expected_ = expected;
    if (expected) {
        nextDelay_ = firstRetry;
        // A notice that the server is not running turns into waiting for it, and the page is tried now.
        if (*notice_ == PreviewNotice::serverNotRunning) {
            notice_ = PreviewNotice::waitingForServer;
            loadAgain_();
        }
    } else {
        cancelRetry();
        if (*notice_ == PreviewNotice::waitingForServer) notice_ = PreviewNotice::serverNotRunning;
    }
}

void PreviewFollower::addressAnnounced(const Url& address) {
    if (shown_ && sameAddress(*shown_, address.string())) return;
    // A load of it already under way (begun when the port first answered) is let finish.
    if (loading_ && sameAddress(*loading_, address.string())) return;
    cancelRetry();
    nextDelay_ = firstRetry;
    loadAgain_();
}

void PreviewFollower::awaitServer() {
    cancelRetry();
    if (*notice_ != PreviewNotice::waitingForServer) notice_ = PreviewNotice::waitingForServer;
    retry_ = Cancellation();
    spawn(retryAfter(longestRetry, *retry_));
}

void PreviewFollower::loadEnded(const PreviewLoad& load) {
    loading_.reset();
    switch (load.outcome) {
        case PreviewLoad::Outcome::shown:
            cancelRetry();
            shown_ = load.address;
            nextDelay_ = firstRetry;
            if (*notice_ != PreviewNotice::none) notice_ = PreviewNotice::none;
            return;
        case PreviewLoad::Outcome::failed:
            // The engine shows why.
            cancelRetry();
            shown_.reset();
            if (*notice_ != PreviewNotice::none) notice_ = PreviewNotice::none;
            return;
        case PreviewLoad::Outcome::nothingAnswers:
            shown_.reset();
            if (!expected_) {
                if (*notice_ != PreviewNotice::serverNotRunning) notice_ = PreviewNotice::serverNotRunning;
                return;
            }
            if (*notice_ != PreviewNotice::waitingForServer) notice_ = PreviewNotice::waitingForServer;
            scheduleRetry();
            return;
    }
}

void PreviewFollower::scheduleRetry() {
    cancelRetry();
    retry_ = Cancellation();
    const auto delay = nextDelay_;
    nextDelay_ = std::min(nextDelay_ * 2, longestRetry);
    spawn(retryAfter(delay, *retry_));
}

void PreviewFollower::cancelRetry() {
    if (retry_) retry_->cancel();
    retry_.reset();
}

Task<void> PreviewFollower::retryAfter(std::chrono::milliseconds delay, Cancellation cancelled) {
    const int port = localPort_ ? localPort_() : 0;
    const auto deadline = std::chrono::steady_clock::now() + delay;
    try {
        // A local server is loaded the moment it listens; the engine's load is the slow way to ask.
        while (std::chrono::steady_clock::now() < deadline) {
            if (port > 0 && co_await inBackground([port] { return loopback::portAnswers(port); })) break;
            if (cancelled.isCancelled()) co_return;
            co_await sleepFor(port > 0 ? portProbe : delay, cancelled);
        }
    } catch (const CancellationError&) {
        co_return;  // superseded, or the follower is gone
    }
    if (cancelled.isCancelled()) co_return;
    retry_.reset();
    if (expected_) loadAgain_();
}

}  // namespace tarn
