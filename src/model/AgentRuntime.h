#pragma once
#include "model/EnumNames.h"

#include <string>
#include <vector>

namespace tarn {

// Which agent command-line tool handles requests.
enum class AgentRuntime { codex, claudeCode };

constexpr EnumNameTable<AgentRuntime, 2> enumNames(AgentRuntime) {
    return {{{AgentRuntime::codex, "codex"}, {AgentRuntime::claudeCode, "claudeCode"}}};
}

inline std::string id(AgentRuntime runtime) { return std::string(nameOf(runtime)); }

// The one text by which every message names a tool.
inline std::string displayName(AgentRuntime runtime) {
    return runtime == AgentRuntime::codex ? "Codex" : "Claude Code";
}

inline void to_json(json::Json& j, AgentRuntime v) { encodeName(j, v); }
inline void from_json(const json::Json& j, AgentRuntime& v) { v = decodeName<AgentRuntime>(j); }

}  // namespace tarn
