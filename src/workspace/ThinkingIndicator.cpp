#include "workspace/ThinkingIndicator.h"

#include "support/MainLoop.h"
#include "support/Text.h"

#include <algorithm>
#include <utility>

namespace tarn {

ThinkingIndicator::ThinkingIndicator(Chat& chat, std::chrono::milliseconds idlePoll, std::chrono::milliseconds lineDuration)
    : chat_(chat), idlePoll_(idlePoll), lineDuration_(lineDuration) {}

ThinkingIndicator::~ThinkingIndicator() { stop(); }

void ThinkingIndicator::stop() {
    if (loop_) loop_->cancel();
}

void ThinkingIndicator::begin(const std::string& line) {
    thinking_ = true;
    queue_.clear();
    const bool reused = messageID_ && chat_.update(*messageID_, [](AgentMessage& message) {
        message.isThinking = true;
        message.plan.clear();
        message.timestamp = std::chrono::system_clock::now();
    });
    if (!reused) {
        AgentMessage message(AgentRole::assistant, line);
        message.isThinking = true;
        messageID_ = message.id;
        stepPositions_.clear();
        chat_.append(std::move(message));
    }
    push(line);
}

void ThinkingIndicator::push(const std::string& line) {
    const std::string t = text::trim(line);
    if (t.empty() || t == lastLine_) return;
    lastLine_ = t;
    queue_.push_back(t);
    while (queue_.size() > queueLimit) queue_.pop_front();
    ensureLoop();
}

void ThinkingIndicator::step(const AgentStep& step) {
    if (!messageID_) return;
    // A tool can print hundreds of steps at once: they reach the transcript as one change a turn.
    pendingSteps_.push_back(step);
    if (flushPosted_) return;
    flushPosted_ = true;
    postToMain([this, alive = std::weak_ptr<bool>(alive_)] {
        if (!alive.expired()) flushSteps();
    });
}

void ThinkingIndicator::flushSteps() {
    flushPosted_ = false;
    if (pendingSteps_.empty()) return;
    if (messageID_) {
        chat_.update(*messageID_, [&](AgentMessage& message) {
            for (auto& step : pendingSteps_) {
                // By id, through an index: a turn can bring ten thousand steps.
                auto known = step.id.empty() ? stepPositions_.end() : stepPositions_.find(step.id);
                if (known != stepPositions_.end() && known->second < message.steps.size()) {
                    message.steps[known->second] = std::move(step);
                } else {
                    if (!step.id.empty()) stepPositions_[step.id] = message.steps.size();
                    message.steps.push_back(std::move(step));
                }
            }
        });
    }
    pendingSteps_.clear();
}

void ThinkingIndicator::keepLast() {
    if (messageID_) chat_.moveToEnd(*messageID_);
}

void ThinkingIndicator::plan(std::vector<AgentPlanStep> plan) {
    if (!messageID_) return;
    chat_.update(*messageID_, [&](AgentMessage& message) { message.plan = std::move(plan); });
}

Uuid ThinkingIndicator::complete(const std::string& text, std::vector<AgentPlanStep> plan,
                                 std::optional<std::vector<AgentStep>> steps) {
    if (steps) pendingSteps_.clear();
    else flushSteps();
    thinking_ = false;
    const bool replaced = messageID_ && chat_.update(*messageID_, [&](AgentMessage& message) {
        message.content = text;
        message.plan = plan;
        if (steps) message.steps = *steps;
        message.timestamp = std::chrono::system_clock::now();
        message.isThinking = false;
    });
    stepPositions_.clear();
    if (replaced) return *std::exchange(messageID_, std::nullopt);
    AgentMessage message(AgentRole::assistant, text);
    message.plan = std::move(plan);
    if (steps) message.steps = std::move(*steps);
    const Uuid id = message.id;
    chat_.append(std::move(message));
    return id;
}

void ThinkingIndicator::ensureLoop() {
    if (loop_) return;
    loop_ = Cancellation();
    spawn(loop(alive_, *loop_));
}

Task<void> ThinkingIndicator::loop(std::weak_ptr<bool> alive, Cancellation cancelled) {
    while (true) {
        if (alive.expired()) co_return;
        if ((!thinking_ && queue_.empty()) || cancelled.isCancelled()) {
            lastLine_.clear();
            loop_.reset();
            co_return;
        }
        std::chrono::milliseconds pause = idlePoll_;
        if (!queue_.empty()) {
            std::string line = std::move(queue_.front());
            queue_.pop_front();
            // With no thinking message the line goes unseen.
            if (messageID_) {
                chat_.update(*messageID_, [&](AgentMessage& message) {
                    message.content = line;
                    message.timestamp = std::chrono::system_clock::now();
                    message.isThinking = true;
                });
            }
            pause = lineDuration_;
        }
        try {
            co_await sleepFor(pause, cancelled);
        } catch (const CancellationError&) {
        }
    }
}

}  // namespace tarn
