#pragma once
#include "agents/AgentServiceError.h"
#include "agents/LocalAgentResult.h"
#include "support/Task.h"
#include "support/Url.h"
#include "model/InspectTarget.h"

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

// The local agent: applies a small fixed set of requests to the project's files without any
// agent tool. Its file work runs on a worker thread so the window never waits on a large project.
class AgentService {
public:
    Task<LocalAgentResult> applyInlineEdit(InspectTarget target, std::string newText, Url projectRoot) const;
    Task<LocalAgentResult> handlePrompt(std::string prompt, std::optional<InspectTarget> selectedTarget, bool planMode,
                                        Url projectRoot) const;

    // The routines, synchronous, for the worker thread.
    static std::vector<std::string> applyPromptRules(const std::string& prompt,
                                                     const std::optional<InspectTarget>& selectedTarget,
                                                     const std::filesystem::path& root);
    // The first place among the project's sources that holds the text, as written: the hinted
    // file first.
    static std::vector<std::string> replaceText(const std::string& oldText, const std::string& newText,
                                                const std::string& hint, const std::filesystem::path& root);
    static std::optional<std::pair<std::string, std::string>> parseReplaceInstruction(const std::string& prompt);
    static std::optional<std::string> transformSnippet(const std::string& snippet, const std::string& prompt);
    static std::vector<std::string> createOnboardingScaffold(const std::filesystem::path& root);
    static std::string writeIntentFile(const std::string& prompt, const std::filesystem::path& root);
};

}  // namespace tarn
