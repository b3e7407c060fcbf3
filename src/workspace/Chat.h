#pragma once
#include "model/AgentMessage.h"
#include "support/Published.h"
#include "support/PublishedList.h"

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

namespace tarn {

// A passing notice the window shows for a moment ("Console logs copied.").
struct Notice {
    Uuid id;
    std::string text;
};

// The transcript: the user's requests, the replies, and the system's status lines; and the passing
// notices that do not belong in it.
class Chat {
public:
    PublishedList<AgentMessage> messages;
    Published<std::optional<Notice>> notice;

    void notify(const std::string& text) { notice = Notice{Uuid(), text}; }

    // A status line: the single way an operation reports one.
    void appendSystemMessage(const std::string& text);
    void append(AgentMessage message);
    // Changes the message with this id in place; false when there is none.
    bool update(const Uuid& id, const std::function<void(AgentMessage&)>& change);
    // Takes the message out and appends it again: the live thinking message stays below a card.
    void moveToEnd(const Uuid& id);
    const AgentMessage* find(const Uuid& id) const {
        auto found = positions_.find(id);
        return found == positions_.end() ? nullptr : &messages->at(found->second);
    }

private:
    std::unordered_map<Uuid, std::size_t> positions_;
};

}  // namespace tarn
