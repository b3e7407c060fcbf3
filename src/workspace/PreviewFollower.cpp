#include "workspace/PreviewFollower.h"

#include <algorithm>

namespace tarn {

PreviewFollower::PreviewFollower(Published<PreviewNotice>& notice, std::function<void()> loadAgain)
    : notice_(notice), loadAgain_(std::move(loadAgain)) {}

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
    cancelRetry();
    nextDelay_ = firstRetry;
    loadAgain_();
}

void PreviewFollower::loadEnded(const PreviewLoad& load) {
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
    try {
        co_await sleepFor(delay, cancelled);
    } catch (const CancellationError&) {
        co_return;  // superseded, or the follower is gone
    }
    retry_.reset();
    if (expected_) loadAgain_();
}

}  // namespace tarn
