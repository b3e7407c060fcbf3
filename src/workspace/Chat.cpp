#include "workspace/Chat.h"

namespace tarn {

void Chat::appendSystemMessage(const std::string& text) { append(AgentMessage(AgentRole::system, text)); }

void Chat::append(AgentMessage message) {
    positions_[message.id] = messages->size();
    messages.append(std::move(message));
}

bool Chat::update(const Uuid& id, const std::function<void(AgentMessage&)>& change) {
    auto found = positions_.find(id);
    if (found == positions_.end()) return false;
    messages.change(found->second, change);
    return true;
}

}  // namespace tarn
