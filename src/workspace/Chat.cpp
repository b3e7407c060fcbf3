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

void Chat::moveToEnd(const Uuid& id) {
    auto found = positions_.find(id);
    if (found == positions_.end() || found->second + 1 == messages->size()) return;
    const std::size_t from = found->second;
    AgentMessage message = messages.remove(from);
    for (std::size_t i = from; i < messages->size(); ++i) positions_[messages->at(i).id] = i;
    append(std::move(message));
}

}  // namespace tarn
