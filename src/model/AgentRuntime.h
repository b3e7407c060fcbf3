#pragma once
#include "model/RawValueEnum.h"

#include <string>
#include <vector>

namespace tarn {

// Which agent command-line tool handles requests.
enum class AgentRuntime { codex, claudeCode };

constexpr RawValueTable<AgentRuntime, 2> rawValueTable(AgentRuntime) {
    return {{{AgentRuntime::codex, "codex"}, {AgentRuntime::claudeCode, "claudeCode"}}};
}

inline std::string id(AgentRuntime runtime) { return std::string(rawValueOf(runtime)); }

// The one text by which every message names a tool.
inline std::string displayName(AgentRuntime runtime) {
    return runtime == AgentRuntime::codex ? "Codex" : "Claude Code";
}

inline void to_json(json::Json& j, AgentRuntime v) { encodeRawValue(j, v); }
inline void from_json(const json::Json& j, AgentRuntime& v) { v = decodeRawValue<AgentRuntime>(j); }

}  // namespace tarn
