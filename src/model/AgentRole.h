#pragma once

namespace tarn {

// Author of a chat message.
enum class AgentRole { user, assistant, system };

}  // namespace tarn
