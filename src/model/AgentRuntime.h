#pragma once
#include <optional>
#include <string>
#include <tuple>

namespace tarn {

// Which agent handles requests: one of the two command-line tools Tarn knows by their options, or
// an agent of the user's list spoken to over the Agent Client Protocol, named by its list entry.
struct AgentRuntime {
    enum class Kind { codex, claudeCode, acp };
    Kind kind = Kind::codex;
    std::string agent;  // the ACP agent's name; empty for the two tools

    static const AgentRuntime codex;
    static const AgentRuntime claudeCode;
    static AgentRuntime acp(std::string name) { return {Kind::acp, std::move(name)}; }

    friend bool operator==(const AgentRuntime&, const AgentRuntime&) = default;
    friend bool operator<(const AgentRuntime& a, const AgentRuntime& b) {
        return std::tie(a.kind, a.agent) < std::tie(b.kind, b.agent);
    }
};

inline const AgentRuntime AgentRuntime::codex{AgentRuntime::Kind::codex, {}};
inline const AgentRuntime AgentRuntime::claudeCode{AgentRuntime::Kind::claudeCode, {}};

// The runtime's name in actions and settings: "codex", "claudeCode", "acp:<agent>".
inline std::string id(const AgentRuntime& runtime) {
    switch (runtime.kind) {
        case AgentRuntime::Kind::codex: return "codex";
        case AgentRuntime::Kind::claudeCode: return "claudeCode";
        case AgentRuntime::Kind::acp: return "acp:" + runtime.agent;
    }
    return {};
}

inline std::optional<AgentRuntime> runtimeFromId(const std::string& text) {
    if (text == "codex") return AgentRuntime::codex;
    if (text == "claudeCode") return AgentRuntime::claudeCode;
    if (text.starts_with("acp:") && text.size() > 4) return AgentRuntime::acp(text.substr(4));
    return std::nullopt;
}

// The one text by which every message names the agent.
inline std::string displayName(const AgentRuntime& runtime) {
    switch (runtime.kind) {
        case AgentRuntime::Kind::codex: return "Codex";
        case AgentRuntime::Kind::claudeCode: return "Claude Code";
        case AgentRuntime::Kind::acp: return runtime.agent;
    }
    return {};
}

}  // namespace tarn
