#pragma once
#include "model/AgentMessage.h"
#include "support/Published.h"

#include <functional>
#include <string>
#include <vector>

namespace tarn {

// The transcript: the user's requests, the replies, and the system's status lines.
class Chat {
public:
    Published<std::vector<AgentMessage>> messages;

    // A status line: the single way an operation reports one.
    void appendSystemMessage(const std::string& text);
    void append(AgentMessage message);
    // Changes the message with this id in place; false when there is none.
    bool update(const Uuid& id, const std::function<void(AgentMessage&)>& change);
};

}  // namespace tarn
