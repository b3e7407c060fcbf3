#pragma once
#include <stdexcept>
#include <string>

namespace tarn {

// The failure of an agent tool's service. Each tool has its own error type with the same four
// cases; `ToolTraits` supplies the tool's fixed descriptions.
template <typename ToolTraits>
class AgentToolError : public std::runtime_error {
public:
    using Case = typename ToolTraits::Case;

    static AgentToolError executionFailed(std::string message) {
        return AgentToolError(Case::executionFailed, std::move(message));
    }
    static AgentToolError notInstalled() { return AgentToolError(ToolTraits::notInstalledCase, ToolTraits::notInstalled); }
    static AgentToolError outputMissing() { return AgentToolError(Case::outputMissing, ToolTraits::outputMissing); }
    static AgentToolError invalidBootstrapResponse() {
        return AgentToolError(Case::invalidBootstrapResponse, ToolTraits::invalidBootstrapResponse);
    }

    Case errorCase() const { return case_; }
    std::string description() const { return what(); }

private:
    AgentToolError(Case c, std::string description) : std::runtime_error(std::move(description)), case_(c) {}
    Case case_;
};

struct ClaudeCodeCLIErrorTraits {
    enum class Case { executionFailed, claudeNotInstalled, outputMissing, invalidBootstrapResponse };
    static constexpr Case notInstalledCase = Case::claudeNotInstalled;
    static constexpr const char* notInstalled = "Claude Code CLI is not installed or not in PATH.";
    static constexpr const char* outputMissing = "Claude Code did not return an output message.";
    static constexpr const char* invalidBootstrapResponse = "Claude Code returned an invalid bootstrap response.";
};
using ClaudeCodeCLIError = AgentToolError<ClaudeCodeCLIErrorTraits>;

struct CodexCLIErrorTraits {
    enum class Case { executionFailed, codexNotInstalled, outputMissing, invalidBootstrapResponse };
    static constexpr Case notInstalledCase = Case::codexNotInstalled;
    static constexpr const char* notInstalled = "Codex CLI is not installed or not in PATH.";
    static constexpr const char* outputMissing = "Codex did not return an output message.";
    static constexpr const char* invalidBootstrapResponse = "Codex returned an invalid bootstrap response.";
};
using CodexCLIError = AgentToolError<CodexCLIErrorTraits>;

}  // namespace tarn
