#include "agents/AgentService.h"
#include "support/Translate.h"

#include "agents/AgentTexts.h"
#include "agents/ProjectFiles.h"
#include "agents/rendered/ProjectSearch.h"
#include "support/Files.h"
#include "support/Regex.h"
#include "support/Text.h"

#include <algorithm>
#include <unicode/datefmt.h>
#include <unicode/unistr.h>

namespace fs = std::filesystem;

namespace tarn {

namespace {

AgentPlanStep step(const char* title, const char* detail) { return AgentPlanStep{Uuid(), title, detail, false}; }

std::string localDateTimeNow() {
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kMedium, icu::Locale::getDefault()));
    if (!format) return {};
    icu::UnicodeString out;
    format->format(icu::Calendar::getNow(), out);
    std::string utf8;
    out.toUTF8String(utf8);
    return utf8;
}

}  // namespace

std::vector<std::string> AgentService::replaceText(const std::string& oldText, const std::string& newText,
                                                   const std::string& hint, const fs::path& root) {
    if (text::trim(oldText).empty()) throw AgentServiceError(AgentServiceError::Kind::targetTextNotFound);
    for (const auto& file : projectfiles::sourceFilesHintFirst(projectfiles::resolveHint(hint, root), root)) {
        auto content = projectfiles::readText(file);
        if (!content) continue;
        auto at = content->find(oldText);
        if (at == std::string::npos) continue;
        content->replace(at, oldText.size(), newText);
        files::writeAtomically(file, *content);
        return {projectfiles::relativePath(file, root)};
    }
    throw AgentServiceError(AgentServiceError::Kind::targetTextNotFound);
}

namespace {

}  // namespace

std::optional<std::pair<std::string, std::string>> AgentService::parseReplaceInstruction(const std::string& prompt) {
    static const auto pattern = Regex::compile(R"re(replace\s+"([^"]+)"\s+with\s+"([^"]+)")re", /*caseInsensitive=*/true);
    auto match = pattern->firstMatch(prompt);
    if (!match || !match->groups[0] || !match->groups[1]) return std::nullopt;
    return std::make_pair(*match->groups[0], *match->groups[1]);
}

std::optional<std::string> AgentService::transformSnippet(const std::string& snippet, const std::string& prompt) {
    const std::string lower = text::toLower(prompt);
    if (text::contains(lower, "uppercase")) return text::toUpper(snippet);
    if (text::contains(lower, "lowercase")) return text::toLower(snippet);
    if (text::contains(lower, "title case")) return text::toTitleCase(snippet);
    if (text::contains(lower, "shorter")) {
        auto words = text::split(snippet, ' ', /*dropEmpty=*/true);
        if (words.size() < 7) return std::nullopt;
        words.resize(6);
        return text::join(words, " ");
    }
    return std::nullopt;
}

std::vector<std::string> AgentService::createOnboardingScaffold(const fs::path& root) {
    std::vector<std::string> written;
    const fs::path components = root / "components";
    files::createDirectories(components);
    const fs::path wizard = components / "TarnOnboardingWizard.tsx";
    if (!files::exists(wizard)) {
        files::writeAtomically(wizard, agenttexts::get("TarnOnboardingWizard.tsx"));
        written.push_back(projectfiles::relativePath(wizard, root));
    }
    std::error_code ec;
    const bool hasApp = fs::exists(fs::symlink_status(root / "app", ec));
    const fs::path page = hasApp ? root / "app" / "onboarding" / "page.tsx" : root / "pages" / "onboarding.tsx";
    files::createDirectories(page.parent_path());
    files::writeAtomically(page, agenttexts::get(hasApp ? "onboarding-app-page.tsx" : "onboarding-pages-page.tsx"));
    written.push_back(projectfiles::relativePath(page, root));
    return written;
}

std::string AgentService::writeIntentFile(const std::string& prompt, const fs::path& root) {
    const fs::path folder = root / ".tarn";
    files::createDirectories(folder);
    const fs::path record = folder / "last-agent-intent.md";
    files::writeAtomically(record, "# Agent Intent\n\n" + localDateTimeNow() + "\n\n" + prompt);
    return projectfiles::relativePath(record, root);
}

std::vector<std::string> AgentService::applyPromptRules(const std::string& prompt,
                                                        const std::optional<InspectTarget>& selectedTarget,
                                                        const fs::path& root) {
    std::vector<std::string> paths;
    auto collect = [&](const std::vector<std::string>& more) { paths.insert(paths.end(), more.begin(), more.end()); };
    if (text::contains(text::toLower(prompt), "onboarding")) collect(createOnboardingScaffold(root));
    if (auto instruction = parseReplaceInstruction(prompt)) {
        collect(replaceText(instruction->first, instruction->second, "", root));
    } else if (selectedTarget && !selectedTarget->textSnippet.empty()) {
        auto changed = transformSnippet(selectedTarget->textSnippet, prompt);
        if (changed && *changed != selectedTarget->textSnippet) {
            collect(rendered::replaceShownText(selectedTarget->textSnippet, *changed, selectedTarget->fileGuess, root));
        }
    }
    if (paths.empty()) paths.push_back(writeIntentFile(prompt, root));
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

// The reply's steps name the files edited; the plan is only what Plan Mode would do, none of it done.
Task<LocalAgentResult> AgentService::applyInlineEdit(InspectTarget target, std::string newText, Url projectRoot) const {
    fs::path root = projectRoot.path();
    auto paths = co_await inBackground([&] { return rendered::replaceShownText(target.textSnippet, newText, target.fileGuess, root); });
    co_return LocalAgentResult{tr::format(_("Updated text in %1."), {paths.front()}), paths, {}};
}

Task<LocalAgentResult> AgentService::handlePrompt(std::string prompt, std::optional<InspectTarget> selectedTarget,
                                                  bool planMode, Url projectRoot) const {
    if (planMode) {
        std::vector<AgentPlanStep> plan{
            step(_("Analyze request"), _("Parse intent and classify into copy tweak or feature task.")),
            step(_("Find implementation points"), _("Locate related routes/components in the project.")),
            step(_("Apply code changes"), _("Edit or create files based on the request.")),
            step(_("Prepare visual verification"), _("Surface touched files for quick review.")),
        };
        co_return LocalAgentResult{_("Plan created. Switch off Plan Mode to apply changes."), {}, plan};
    }
    fs::path root = projectRoot.path();
    auto paths = co_await inBackground([&] { return applyPromptRules(prompt, selectedTarget, root); });
    co_return LocalAgentResult{tr::format(_("Applied %1 file change(s)."), {std::to_string(paths.size())}), paths, {}};
}

}  // namespace tarn
