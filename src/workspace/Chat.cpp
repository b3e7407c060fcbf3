#include "workspace/Chat.h"

#include <algorithm>

namespace tarn {

void Chat::appendSystemMessage(const std::string& text) { append(AgentMessage(AgentRole::system, text)); }

void Chat::append(AgentMessage message) {
    messages.modify([&](auto& list) { list.push_back(std::move(message)); });
}

bool Chat::update(const Uuid& id, const std::function<void(AgentMessage&)>& change) {
    const auto& list = *messages;
    auto found = std::find_if(list.begin(), list.end(), [&](const AgentMessage& m) { return m.id == id; });
    if (found == list.end()) return false;
    const auto index = static_cast<std::size_t>(found - list.begin());
    messages.modify([&](auto& all) { change(all[index]); });
    return true;
}

}  // namespace tarn
