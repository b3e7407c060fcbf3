#pragma once
#include "model/AgentPlanStep.h"
#include "model/AgentStep.h"
#include "support/Task.h"
#include "workspace/Chat.h"

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarn {

// One chat message that shows an agent's progress while a request runs: lines queue up and one
// loop shows them in turn, each for a while; the reply then takes the message's place.
class ThinkingIndicator {
public:
    ThinkingIndicator(Chat& chat, std::chrono::milliseconds idlePoll, std::chrono::milliseconds lineDuration);
    ~ThinkingIndicator();
    ThinkingIndicator(const ThinkingIndicator&) = delete;
    ThinkingIndicator& operator=(const ThinkingIndicator&) = delete;

    // Shows the indicator (the one already there, or a new message) with this line next.
    void begin(const std::string& line);
    // Queues a progress line; a repeat of the last one is dropped.
    void push(const std::string& line);
    // A step of the agent's began or changed: shown at once, not queued like lines.
    void step(const AgentStep& step);
    // The agent's to-do list, whole.
    void plan(std::vector<AgentPlanStep> plan);
    // The reply in the indicator's place (or a new message when there is none); gives its id. It
    // keeps the steps shown so far, or takes `steps` when given.
    Uuid complete(const std::string& text, std::vector<AgentPlanStep> plan,
                  std::optional<std::vector<AgentStep>> steps = std::nullopt);
    // Moves the indicator below whatever was added after it.
    void keepLast();
    // Ends the loop (the window closes).
    void stop();

    // Lines accepted but not shown yet.
    const std::deque<std::string>& pending() const { return queue_; }

    static constexpr std::size_t queueLimit = 40;

private:
    void ensureLoop();
    void flushSteps();
    // Holds only a token of the indicator's life: once the indicator is gone, it ends.
    Task<void> loop(std::weak_ptr<bool> alive, Cancellation cancelled);

    Chat& chat_;
    std::chrono::milliseconds idlePoll_, lineDuration_;
    std::deque<std::string> queue_;
    std::optional<Cancellation> loop_;
    bool thinking_ = false;
    std::string lastLine_;
    std::optional<Uuid> messageID_;
    std::vector<AgentStep> pendingSteps_;
    std::unordered_map<std::string, std::size_t> stepPositions_;  // the message's steps by id
    bool flushPosted_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tarn
