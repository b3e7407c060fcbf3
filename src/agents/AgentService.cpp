#include "agents/AgentService.h"
#include "support/Translate.h"

#include "agents/AgentToolSupport.h"
#include "agents/rendered/Rendered.h"
#include "support/Files.h"
#include "support/Regex.h"
#include "support/Text.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <dirent.h>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <unicode/datefmt.h>
#include <unicode/unistr.h>

namespace fs = std::filesystem;

namespace tarn {

namespace {

const std::set<std::string> kSourceExtensions{"tsx", "jsx", "ts", "js", "mjs", "cjs", "mts", "cts", "html", "css",
                                              "scss", "md", "mdx", "vue", "svelte", "astro"};
// Where an app's own pages and components live, preferred over files at the project's root.
const std::set<std::string> kAppFolders{"src", "app", "pages", "components", "lib", "views", "routes", "content"};
// Folders inside the project that hold no sources of its own: never descended into. Hidden folders
// (.git, .next, .svelte-kit, ...) are skipped by their dot. Only folders inside the project count:
// the project itself may live under any folder (~/build/shop).
const std::set<std::string> kSkippedFolders{"node_modules", "dist", "build", "out", "coverage"};

const std::string kWizardComponent = R"TSX(import { useState } from "react";

const steps: { title: string; key: string }[] = [
  { title: "Industry", key: "industry" },
  { title: "Team Size", key: "teamSize" },
  { title: "Goals", key: "goals" },
];

export default function TarnOnboardingWizard() {
  const [stepIndex, setStepIndex] = useState(0);
  const [answers, setAnswers] = useState<Record<string, string>>({});
  const step = steps[stepIndex];
  const isLastStep = stepIndex === steps.length - 1;

  return (
    <main style={{ maxWidth: 520, margin: "96px auto", fontFamily: "Inter, sans-serif" }}>
      <p style={{ fontSize: 12, letterSpacing: 1.2, textTransform: "uppercase", color: "#7a7a7a" }}>
        Step {stepIndex + 1} of {steps.length}
      </p>
      <h1 style={{ marginTop: 8 }}>{step.title}</h1>
      <input
        type="text"
        value={answers[step.key] ?? ""}
        onChange={(event) => setAnswers({ ...answers, [step.key]: event.target.value })}
        placeholder={`Enter ${step.title.toLowerCase()}`}
        style={{ marginTop: 16, width: "100%", border: "1px solid #d4d4d8", borderRadius: 10, padding: "10px 12px" }}
      />
      <button
        type="button"
        onClick={() => setStepIndex(isLastStep ? stepIndex : stepIndex + 1)}
        style={{
          marginTop: 20,
          background: "#0f766e",
          color: "white",
          border: "none",
          borderRadius: 10,
          padding: "10px 16px",
          cursor: "pointer",
        }}
      >
        {isLastStep ? "Finish" : "Continue"}
      </button>
    </main>
  );
})TSX";

const std::string kAppPage = R"TSX(import TarnOnboardingWizard from "../../components/TarnOnboardingWizard";

export default function OnboardingPage() {
  return <TarnOnboardingWizard />;
})TSX";

const std::string kPagesPage = R"TSX(import TarnOnboardingWizard from "../components/TarnOnboardingWizard";

export default function OnboardingPage() {
  return <TarnOnboardingWizard />;
})TSX";

AgentPlanStep step(const char* title, const char* detail, bool completed) {
    return AgentPlanStep{Uuid(), title, detail, completed};
}

bool hasSourceExtension(const fs::path& path) {
    std::string ext = path.extension().string();
    if (ext.size() < 2) return false;
    return kSourceExtensions.count(text::toLower(ext.substr(1))) > 0;
}

// True when `path`, with every link followed, lies inside `root` (itself resolved).
bool resolvesInside(const fs::path& path, const fs::path& root) {
    std::error_code ec;
    fs::path real = fs::canonical(path, ec);
    if (ec) return false;
    fs::path realRoot = fs::canonical(root, ec);
    if (ec) return false;
    auto [rootEnd, realEnd] = std::mismatch(realRoot.begin(), realRoot.end(), real.begin(), real.end());
    return rootEnd == realRoot.end();
}

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

const std::string& AgentService::wizardComponent() { return kWizardComponent; }

std::string AgentService::relativePath(const fs::path& file, const fs::path& root) {
    fs::path relative = file.lexically_normal().lexically_relative(root.lexically_normal());
    if (relative.empty() || *relative.begin() == "..") return file.string();
    return relative.string();
}

namespace {

// The project's files that `wanted` accepts (by their path relative to the root), depth-first,
// entries in name order, so the first match is the same on every run. Links to folders are not
// followed, so a link loop cannot trap the walk.
std::vector<fs::path> walkProject(const fs::path& root, const std::function<bool(const fs::path&)>& wanted) {
    std::vector<fs::path> files;
    std::function<void(const fs::path&)> walk = [&](const fs::path& folder) {
        DIR* dir = opendir(folder.c_str());
        if (!dir) return;
        std::vector<std::string> names;
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
        }
        closedir(dir);
        std::sort(names.begin(), names.end());
        for (const auto& name : names) {
            fs::path child = folder / name;
            struct stat link {};
            if (lstat(child.c_str(), &link) != 0) continue;
            if (S_ISDIR(link.st_mode)) {
                if (!kSkippedFolders.count(name)) walk(child);
                continue;
            }
            if (S_ISLNK(link.st_mode)) {
                // A link is listed only when it leads to a file inside the project.
                struct stat target {};
                if (stat(child.c_str(), &target) != 0 || S_ISDIR(target.st_mode)) continue;
                if (!resolvesInside(child, root)) continue;
            }
            if (wanted(child)) files.push_back(child);
        }
    };
    walk(root);
    return files;
}

// Message files: JSON and YAML inside the project's folders (its root holds configuration).
bool isMessageFile(const fs::path& file, const fs::path& root) {
    const std::string ext = text::toLower(file.extension().string());
    if (ext != ".json" && ext != ".yaml" && ext != ".yml") return false;
    if (file.parent_path() == root) return false;
    const std::string name = text::toLower(file.filename().string());
    return !text::startsWith(name, "package") && !text::startsWith(name, "tsconfig") && !text::startsWith(name, "jsconfig") &&
           !text::contains(name, ".config.") && name != "manifest.json" && name != "components.json";
}

}  // namespace

std::vector<fs::path> AgentService::listSourceFiles(const fs::path& root) {
    return walkProject(root, [](const fs::path& file) { return hasSourceExtension(file); });
}

std::optional<fs::path> AgentService::resolveHintedFile(const std::string& hint, const fs::path& root) {
    if (hint.empty()) return std::nullopt;
    std::string trimmed = text::trim(hint);
    fs::path file = text::startsWith(trimmed, "/") ? fs::path(trimmed) : root / trimmed;
    if (!files::exists(file)) return std::nullopt;
    // A hint comes from the page: it may never lead a write outside the project.
    if (!resolvesInside(file, root)) return std::nullopt;
    return file;
}

std::vector<std::string> AgentService::replaceText(const std::string& oldText, const std::string& newText,
                                                   const std::string& hint, const fs::path& root) {
    if (text::trim(oldText).empty()) throw AgentServiceError(AgentServiceError::Case::targetTextNotFound);
    std::vector<fs::path> candidates;
    if (auto hinted = resolveHintedFile(hint, root)) candidates.push_back(*hinted);
    for (auto& file : listSourceFiles(root)) {
        if (std::find(candidates.begin(), candidates.end(), file) == candidates.end()) candidates.push_back(file);
    }
    for (const auto& file : candidates) {
        std::error_code ec;
        auto size = fs::file_size(file, ec);
        if (ec || size > maxCandidateSize) continue;
        std::string content;
        try {
            content = files::readFile(file, maxCandidateSize);
        } catch (const std::exception&) {
            continue;  // unreadable: not a candidate
        }
        if (!text::isValidUtf8(content)) continue;
        auto at = content.find(oldText);
        if (at == std::string::npos) continue;
        content.replace(at, oldText.size(), newText);
        files::writeAtomically(file, content);
        return {relativePath(file, root)};
    }
    throw AgentServiceError(AgentServiceError::Case::targetTextNotFound);
}

namespace {

bool inAppFolder(const std::string& relative) {
    auto slash = relative.find('/');
    return slash != std::string::npos && kAppFolders.count(relative.substr(0, slash));
}

// Notes about the project, not its pages.
bool isDocument(const std::string& relative) {
    std::string name = text::toLower(fs::path(relative).filename().string());
    for (const char* doc : {"readme", "changelog", "license", "contributing", "code_of_conduct"}) {
        if (text::startsWith(name, doc)) return true;
    }
    return text::toLower(fs::path(relative).extension().string()) == ".md" && !inAppFolder(relative);
}

// The runs of letters in the text (3 or more long), to skip files that hold none of them. Digits
// are often a value the code computes, and a run may span two elements (their texts meet without
// a space), so one run found is enough.
std::vector<std::string> words(const std::string& shown) {
    std::vector<std::string> out;
    std::string current;
    for (char c : shown + " ") {
        if (std::isalpha(static_cast<unsigned char>(c))) {
            current += c;
        } else {
            if (current.size() >= 3) out.push_back(current);
            current.clear();
        }
    }
    return out;
}

// A file that may hold the text, and its reading.
struct Place {
    fs::path file;
    std::string relative;
    rendered::Syntax syntax;
    std::string content;
    rendered::Reading reading;
};

// Where in a place the text was found: as page text, or as a string of the code.
struct Hit {
    const Place* place;
    std::optional<rendered::Match> match;
    std::optional<rendered::Literal> literal;
};

}  // namespace

namespace {

// Every place in the project's sources that renders a text, the hinted file first and app
// folders over the project's root; empty when none does.
struct Search {
    std::deque<Place> places;  // a deque keeps their addresses
    std::vector<Hit> found;
};

// Reads a file that may hold the text: not too large, readable, UTF-8, holding one of its words.
bool readCandidate(Place& place, const std::vector<std::string>& needles) {
    std::error_code ec;
    auto size = fs::file_size(place.file, ec);
    if (ec || size > AgentService::maxCandidateSize) return false;
    try {
        place.content = files::readFile(place.file, AgentService::maxCandidateSize);
    } catch (const std::exception&) {
        return false;
    }
    if (!text::isValidUtf8(place.content)) return false;
    return needles.empty() || std::any_of(needles.begin(), needles.end(), [&](const std::string& w) {
               return place.content.find(w) != std::string::npos;
           });
}

Search searchRendered(const std::u32string& shown, const std::string& shownText, const std::string& hint, const fs::path& root) {
    Search search;
    std::vector<fs::path> candidates;
    auto hinted = AgentService::resolveHintedFile(hint, root);
    if (hinted) candidates.push_back(*hinted);
    for (auto& file : AgentService::listSourceFiles(root)) {
        if (std::find(candidates.begin(), candidates.end(), file) == candidates.end()) candidates.push_back(file);
    }

    const std::vector<std::string> needles = words(shownText);
    auto& found = search.found;
    for (const auto& file : candidates) {
        Place place{file, AgentService::relativePath(file, root), rendered::syntaxFor(file.extension().string()), {}, {}};
        if (place.syntax == rendered::Syntax::none || (isDocument(place.relative) && !(hinted && file == *hinted))) continue;
        if (!readCandidate(place, needles)) continue;
        place.reading = rendered::read(place.content, place.syntax);
        const Place& kept = search.places.emplace_back(std::move(place));
        for (auto& match : rendered::find(kept.reading.cells, shown)) {
            // Text that only expressions render (spaces between them aside) is looked for among
            // the code's strings below.
            if (match.literalCharacters > 0) found.push_back(Hit{&kept, std::move(match), std::nullopt});
        }
    }
    if (found.empty()) {
        // Shown through an expression, such as an item of a list: the string that holds it.
        for (const auto& place : search.places) {
            for (const auto& literal : place.reading.literals) {
                if (rendered::normalize(std::string_view(place.content).substr(literal.begin, literal.end - literal.begin)) != shown) continue;
                found.push_back(Hit{&place, std::nullopt, literal});
            }
        }
    }
    if (found.empty()) {
        // Looked up by a key in a message file (t('hero.title')): the value that holds it.
        for (const auto& file : walkProject(root, [&](const fs::path& f) { return isMessageFile(f, root); })) {
            Place place{file, AgentService::relativePath(file, root), rendered::Syntax::none, {}, {}};
            if (!readCandidate(place, needles)) continue;
            const bool yaml = file.extension() != ".json";
            std::vector<rendered::Literal> values;
            for (const auto& message : rendered::readMessages(place.content, yaml)) {
                if (rendered::normalize(message.text) == shown) values.push_back(message.literal);
            }
            if (values.empty()) continue;
            const Place& kept = search.places.emplace_back(std::move(place));
            for (const auto& literal : values) found.push_back(Hit{&kept, std::nullopt, literal});
        }
    }

    // The page's own hint first, then the app's folders over the project's root.
    auto keepIf = [&](auto pred) {
        std::vector<Hit> kept;
        std::copy_if(found.begin(), found.end(), std::back_inserter(kept), pred);
        if (!kept.empty()) found = std::move(kept);
    };
    if (hinted) keepIf([&](const Hit& h) { return h.place->file == *hinted; });
    keepIf([](const Hit& h) { return inAppFolder(h.place->relative); });
    return search;
}

}  // namespace

std::optional<AgentService::Location> AgentService::locateRenderedText(const std::string& shownText, const std::string& hint,
                                                                       const fs::path& root) {
    const std::u32string shown = rendered::normalize(shownText);
    if (shown.empty() || shown.size() > rendered::longestText) return std::nullopt;
    Search search = searchRendered(shown, shownText, hint, root);
    if (search.found.size() != 1) return std::nullopt;
    const Hit& hit = search.found.front();
    const std::size_t at = hit.literal ? hit.literal->begin : hit.place->reading.cells[hit.match->cellOf.front()].begin;
    const std::string_view before = std::string_view(hit.place->content).substr(0, at);
    const auto lineStart = before.rfind('\n');
    Location location;
    location.file = hit.place->relative;
    location.line = static_cast<int>(std::count(before.begin(), before.end(), '\n')) + 1;
    const std::string_view column = before.substr(lineStart == std::string_view::npos ? 0 : lineStart + 1);
    location.column = static_cast<int>(text::toCodePoints(column).size()) + 1;
    return location;
}

InspectTarget AgentService::locate(InspectTarget target, const fs::path& root) {
    // A framework's path may be absolute (Vue, React) or the root's own (Svelte).
    if (!target.fileGuess.empty()) {
        fs::path file(target.fileGuess);
        std::error_code ec;
        const fs::path canonicalRoot = fs::weakly_canonical(root, ec);
        if (file.is_absolute()) {
            const fs::path relative = fs::weakly_canonical(file, ec).lexically_relative(canonicalRoot);
            file = relative.empty() || *relative.begin() == ".." ? fs::path() : relative;
        }
        const bool inside = !file.empty() && *file.begin() != ".." && fs::is_regular_file(root / file, ec);
        if (inside) {
            target.fileGuess = file.generic_string();
        } else {
            target.fileGuess.clear();
            target.line = target.column = 0;
            target.locatedBy = LocatedBy::none;
            target.framework.clear();
        }
    }
    if (target.textSnippet.empty()) return target;
    if (target.locatedBy == LocatedBy::framework && target.line > 0) {
        // The framework's line is the element's opening tag; its text, found inside the element,
        // is where an edit or an editor is wanted.
        if (auto found = locateRenderedText(target.textSnippet, target.fileGuess, root);
            found && found->file == target.fileGuess && found->line >= target.line && found->line - target.line <= 20) {
            target.line = found->line;
            target.column = found->column;
        }
        return target;
    }
    // The text's one place: within the file already known, or anywhere.
    if (auto found = locateRenderedText(target.textSnippet, target.fileGuess, root);
        found && (target.fileGuess.empty() || target.locatedBy == LocatedBy::ancestor || found->file == target.fileGuess)) {
        if (target.locatedBy != LocatedBy::framework && target.locatedBy != LocatedBy::attribute) target.locatedBy = LocatedBy::text;
        target.fileGuess = found->file;
        target.line = found->line;
        target.column = found->column;
    }
    return target;
}

std::vector<std::string> AgentService::replaceRenderedText(const std::string& shownText, const std::string& newText,
                                                           const std::string& hint, const fs::path& root) {
    const std::u32string shown = rendered::normalize(shownText);
    if (shown.empty()) throw AgentServiceError(AgentServiceError::Case::targetTextNotFound);
    Search search = searchRendered(shown, shownText, hint, root);
    auto& found = search.found;
    if (found.empty()) throw AgentServiceError(AgentServiceError::Case::targetTextNotFound);
    if (found.size() > 1) {
        std::vector<std::string> names;
        for (const auto& h : found) {
            if (std::find(names.begin(), names.end(), h.place->relative) == names.end()) names.push_back(h.place->relative);
        }
        if (names.size() > 3) names.resize(3);
        throw AgentServiceError(AgentServiceError::Case::ambiguousText,
                                tr::format(_("This text appears in %1 places (%2); select an element whose text is "
                                             "unique, or describe the change to the agent."),
                                           {std::to_string(found.size()), text::join(names, ", ")}));
    }

    const Hit& hit = found.front();
    const Place& place = *hit.place;
    std::string edited;
    if (hit.literal && place.syntax == rendered::Syntax::none) {
        // A message file: written only when it reads back as asked, every other text untouched.
        auto written = rendered::writeMessage(place.content, place.file.extension() != ".json", *hit.literal, newText);
        if (!written) {
            throw AgentServiceError(AgentServiceError::Case::unsafeEdit,
                                    tr::format(_("%1 would not read back with this text as written, so it was left as it "
                                                 "was; describe the change to the agent instead."),
                                               {place.relative}));
        }
        edited = std::move(*written);
    } else if (hit.literal) {
        edited = place.content;
        edited.replace(hit.literal->begin, hit.literal->end - hit.literal->begin,
                       rendered::escapeForLiteral(*hit.literal, newText));
    } else {
        auto edit = rendered::applyEdit(place.content, place.syntax, place.reading.cells, *hit.match, shown, newText);
        if (!edit.source) {
            switch (edit.refusal) {
                case rendered::Refusal::changesValue: throw AgentServiceError(AgentServiceError::Case::textFromValue);
                case rendered::Refusal::crossesMarkup: throw AgentServiceError(AgentServiceError::Case::editCrossesMarkup);
                case rendered::Refusal::unchecked: throw AgentServiceError(AgentServiceError::Case::unsafeEdit);
            }
        }
        edited = std::move(*edit.source);
    }
    files::writeAtomically(place.file, edited);
    return {place.relative};
}

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
        files::writeAtomically(wizard, kWizardComponent);
        written.push_back(relativePath(wizard, root));
    }
    std::error_code ec;
    const bool hasApp = fs::exists(fs::symlink_status(root / "app", ec));
    const fs::path page = hasApp ? root / "app" / "onboarding" / "page.tsx" : root / "pages" / "onboarding.tsx";
    files::createDirectories(page.parent_path());
    files::writeAtomically(page, hasApp ? kAppPage : kPagesPage);
    written.push_back(relativePath(page, root));
    return written;
}

std::string AgentService::writeIntentFile(const std::string& prompt, const fs::path& root) {
    const fs::path folder = root / ".tarn";
    files::createDirectories(folder);
    const fs::path record = folder / "last-agent-intent.md";
    files::writeAtomically(record, "# Agent Intent\n\n" + localDateTimeNow() + "\n\n" + prompt);
    return relativePath(record, root);
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
            collect(replaceRenderedText(selectedTarget->textSnippet, *changed, selectedTarget->fileGuess, root));
        }
    }
    if (paths.empty()) paths.push_back(writeIntentFile(prompt, root));
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

Task<LocalAgentResult> AgentService::applyInlineEdit(InspectTarget target, std::string newText, Url projectRoot) const {
    std::vector<AgentPlanStep> plan{
        step(_("Resolve source file"), _("Map selected UI element to the most likely file."), true),
        step(_("Apply minimal edit"), _("Replace one text occurrence with the new value."), true),
        step(_("Return changed files"), _("Report the edit so it is visible in history."), true),
    };
    fs::path root = projectRoot.path();
    auto paths = co_await inBackground([&] { return replaceRenderedText(target.textSnippet, newText, target.fileGuess, root); });
    co_return LocalAgentResult{tr::format(_("Updated text in %1."), {paths.front()}), paths, plan};
}

Task<LocalAgentResult> AgentService::handlePrompt(std::string prompt, std::optional<InspectTarget> selectedTarget,
                                                  bool planMode, Url projectRoot) const {
    std::vector<AgentPlanStep> plan{
        step(_("Analyze request"), _("Parse intent and classify into copy tweak or feature task."), true),
        step(_("Find implementation points"), _("Locate related routes/components in the project."), true),
        step(_("Apply code changes"), _("Edit or create files based on the request."), !planMode),
        step(_("Prepare visual verification"), _("Surface touched files for quick review."), !planMode),
    };
    if (planMode) co_return LocalAgentResult{_("Plan created. Switch off Plan Mode to apply changes."), {}, plan};
    fs::path root = projectRoot.path();
    auto paths = co_await inBackground([&] { return applyPromptRules(prompt, selectedTarget, root); });
    co_return LocalAgentResult{tr::format(_("Applied %1 file change(s)."), {std::to_string(paths.size())}), paths, plan};

}

}  // namespace tarn
