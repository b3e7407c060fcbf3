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
    static std::vector<std::string> replaceText(const std::string& oldText, const std::string& newText,
                                                const std::string& hint, const std::filesystem::path& root);
    // Replaces text the page shows, as the page shows it: found where the project's markup renders
    // it (never in code, attributes, import paths or docs), across inline markup, with expressions
    // standing for their values; the hinted file first, then app folders. Refuses a guess between
    // several places, and an edit that would change a value or the markup.
    static std::vector<std::string> replaceRenderedText(const std::string& shownText, const std::string& newText,
                                                        const std::string& hint, const std::filesystem::path& root);
    // Where the one place that renders a text is (file relative to the root, 1-based line and
    // column); none when no place or several do.
    struct Location {
        std::string file;
        int line = 0;
        int column = 0;
    };
    static std::optional<Location> locateRenderedText(const std::string& shownText, const std::string& hint,
                                                      const std::filesystem::path& root);
    // The element's source location, from what the page said (a framework's file, made relative to
    // the root) or else from its text; what the page said stays when neither is found.
    static InspectTarget locate(InspectTarget target, const std::filesystem::path& root);
    static std::vector<std::filesystem::path> listSourceFiles(const std::filesystem::path& root);
    static std::optional<std::filesystem::path> resolveHintedFile(const std::string& hint,
                                                                  const std::filesystem::path& root);
    static std::optional<std::pair<std::string, std::string>> parseReplaceInstruction(const std::string& prompt);
    static std::optional<std::string> transformSnippet(const std::string& snippet, const std::string& prompt);
    static std::vector<std::string> createOnboardingScaffold(const std::filesystem::path& root);
    static std::string writeIntentFile(const std::string& prompt, const std::filesystem::path& root);
    static std::string relativePath(const std::filesystem::path& file, const std::filesystem::path& root);

    static const std::string& wizardComponent();

    // Candidate files larger than this are skipped unread.
    static constexpr std::uintmax_t maxCandidateSize = 16 * 1024 * 1024;
};

}  // namespace tarn
