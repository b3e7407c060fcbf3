#include "agents/rendered/ProjectSearch.h"

#include "agents/AgentServiceError.h"
#include "agents/ProjectFiles.h"
#include "agents/rendered/Rendered.h"
#include "support/Files.h"
#include "support/Text.h"
#include "support/Translate.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <iterator>

namespace tarn::rendered {

namespace fs = std::filesystem;

namespace {

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
    Syntax syntax;
    std::string content;
    Reading reading;
};

// Where in a place the text was found: as page text, or as a string of the code or a message
// file; and how many of its characters the place holds as written (not through a value).
struct Hit {
    const Place* place;
    std::optional<Match> match;
    std::optional<Literal> literal;
    std::size_t literalCharacters = 0;
};

// The places in the project's sources that render a text and hold the most of it as written, the
// hinted file first and app folders over the project's root; empty when none does.
struct Search {
    std::deque<Place> places;  // a deque keeps their addresses
    std::vector<Hit> found;
    bool onlyThroughValues = false;  // the one place found shows the text mostly through values
};

// Reads a file that may hold the text: searchable (projectfiles::readText), holding one of its words.
bool readCandidate(Place& place, const std::vector<std::string>& needles) {
    auto content = projectfiles::readText(place.file);
    if (!content) return false;
    place.content = std::move(*content);
    return needles.empty() || std::any_of(needles.begin(), needles.end(), [&](const std::string& w) {
               return place.content.find(w) != std::string::npos;
           });
}

Search searchRendered(const std::u32string& shown, const std::string& shownText, const std::string& hint, const fs::path& root) {
    Search search;
    const auto hinted = projectfiles::resolveHint(hint, root);
    const std::vector<std::string> needles = words(shownText);
    auto& found = search.found;
    for (const auto& file : projectfiles::sourceFilesHintFirst(hinted, root)) {
        Place place{file, projectfiles::relativePath(file, root), syntaxFor(file.extension().string()), {}, {}};
        if (place.syntax == Syntax::none || (projectfiles::isDocument(place.relative) && !(hinted && file == *hinted))) continue;
        if (!readCandidate(place, needles)) continue;
        place.reading = read(place.content, place.syntax);
        const Place& kept = search.places.emplace_back(std::move(place));
        for (auto& match : find(kept.reading.cells, shown)) {
            // Text that only expressions render (spaces between them aside) is no place of its own.
            const std::size_t literal = match.literalCharacters;
            if (literal > 0) found.push_back(Hit{&kept, std::move(match), std::nullopt, literal});
        }
    }
    // Shown through an expression, such as an item of a list: the string that holds it.
    for (const auto& place : search.places) {
        for (const auto& literal : place.reading.literals) {
            if (normalize(std::string_view(place.content).substr(literal.begin, literal.end - literal.begin)) != shown) continue;
            found.push_back(Hit{&place, std::nullopt, literal, shown.size()});
        }
    }
    {
        // Looked up by a key in a message file (t('hero.title')): the value that holds it.
        for (const auto& file : projectfiles::walk(root, [&](const fs::path& f) { return projectfiles::isMessageFile(f, root); })) {
            Place place{file, projectfiles::relativePath(file, root), Syntax::none, {}, {}};
            if (!readCandidate(place, needles)) continue;
            const bool yaml = file.extension() != ".json";
            std::vector<Literal> values;
            for (const auto& message : readMessages(place.content, yaml)) {
                if (normalize(message.text) == shown) values.push_back(message.literal);
            }
            if (values.empty()) continue;
            const Place& kept = search.places.emplace_back(std::move(place));
            for (const auto& literal : values) found.push_back(Hit{&kept, std::nullopt, literal, shown.size()});
        }
    }

    // All places ranked together: the ones that hold most of the text as written. A value followed
    // by one word ("{price} euros") could render many texts; a message file or a string holding
    // the whole text is where it comes from.
    std::size_t best = 0;
    for (const auto& h : found) best = std::max(best, h.literalCharacters);
    std::erase_if(found, [&](const Hit& h) { return h.literalCharacters < best; });

    // The page's own hint first, then the app's folders over the project's root.
    auto keepIf = [&](auto pred) {
        std::vector<Hit> kept;
        std::copy_if(found.begin(), found.end(), std::back_inserter(kept), pred);
        if (!kept.empty()) found = std::move(kept);
    };
    if (hinted) keepIf([&](const Hit& h) { return h.place->file == *hinted; });
    keepIf([](const Hit& h) { return projectfiles::inAppFolder(h.place->relative); });
    // Where values stand for two thirds of the text or more, only the element's own file is
    // trusted with it: a value and a word could render almost anything. A value beside words of
    // its own ("© 2026 Tarn Bakery. {rights}") is the element's place.
    if (!found.empty() && best * 3 < shown.size() && !(hinted && found.front().place->file == *hinted)) {
        search.onlyThroughValues = true;
        found.clear();
    }
    return search;
}

}  // namespace

std::optional<Location> locateShownText(const std::string& shownText, const std::string& hint, const fs::path& root) {
    const std::u32string shown = normalize(shownText);
    if (shown.empty() || shown.size() > longestText) return std::nullopt;
    Search search = searchRendered(shown, shownText, hint, root);
    if (search.found.size() != 1) return std::nullopt;
    const Hit& hit = search.found.front();
    // Where the text is written as characters: a value before it may be any element's.
    std::size_t at = 0;
    if (hit.literal) {
        at = hit.literal->begin;
    } else {
        const auto& cells = hit.place->reading.cells;
        const auto& cellOf = hit.match->cellOf;
        auto written = std::find_if(cellOf.begin(), cellOf.end(), [&](std::size_t c) { return cells[c].kind == Cell::Kind::character; });
        at = cells[written == cellOf.end() ? cellOf.front() : *written].begin;
    }
    const std::string_view before = std::string_view(hit.place->content).substr(0, at);
    const auto lineStart = before.rfind('\n');
    Location location;
    location.file = hit.place->relative;
    location.line = static_cast<int>(std::count(before.begin(), before.end(), '\n')) + 1;
    const std::string_view column = before.substr(lineStart == std::string_view::npos ? 0 : lineStart + 1);
    location.column = static_cast<int>(text::toCodePoints(column).size()) + 1;
    return location;
}

InspectTarget locateElement(InspectTarget target, const fs::path& root) {
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
        if (auto found = locateShownText(target.textSnippet, target.fileGuess, root);
            found && found->file == target.fileGuess && found->line >= target.line && found->line - target.line <= 20) {
            target.line = found->line;
            target.column = found->column;
        }
        return target;
    }
    // The text's one place: within the file already known, or anywhere.
    if (auto found = locateShownText(target.textSnippet, target.fileGuess, root);
        found && (target.fileGuess.empty() || target.locatedBy == LocatedBy::ancestor || found->file == target.fileGuess)) {
        if (target.locatedBy != LocatedBy::framework && target.locatedBy != LocatedBy::attribute) target.locatedBy = LocatedBy::text;
        target.fileGuess = found->file;
        target.line = found->line;
        target.column = found->column;
    }
    return target;
}

std::vector<std::string> replaceShownText(const std::string& shownText, const std::string& newText, const std::string& hint,
                                          const fs::path& root) {
    const std::u32string shown = normalize(shownText);
    if (shown.empty()) throw AgentServiceError(AgentServiceError::Kind::targetTextNotFound);
    Search search = searchRendered(shown, shownText, hint, root);
    auto& found = search.found;
    if (search.onlyThroughValues) throw AgentServiceError(AgentServiceError::Kind::textFromValue);
    if (found.empty()) throw AgentServiceError(AgentServiceError::Kind::targetTextNotFound);
    if (found.size() > 1) {
        std::vector<std::string> names;
        for (const auto& h : found) {
            if (std::find(names.begin(), names.end(), h.place->relative) == names.end()) names.push_back(h.place->relative);
        }
        if (names.size() > 3) names.resize(3);
        throw AgentServiceError(AgentServiceError::Kind::ambiguousText,
                                tr::format(_("This text appears in %1 places (%2); select an element whose text is "
                                             "unique, or describe the change to the agent."),
                                           {std::to_string(found.size()), text::join(names, ", ")}));
    }

    const Hit& hit = found.front();
    const Place& place = *hit.place;
    std::string edited;
    if (hit.literal && place.syntax == Syntax::none) {
        // A message file: written only when it reads back as asked, every other text untouched.
        auto written = writeMessage(place.content, place.file.extension() != ".json", *hit.literal, newText);
        if (!written) {
            throw AgentServiceError(AgentServiceError::Kind::unsafeEdit,
                                    tr::format(_("%1 would not read back with this text as written, so it was left as it "
                                                 "was; describe the change to the agent instead."),
                                               {place.relative}));
        }
        edited = std::move(*written);
    } else if (hit.literal) {
        edited = place.content;
        edited.replace(hit.literal->begin, hit.literal->end - hit.literal->begin,
                       escapeForLiteral(*hit.literal, newText));
    } else {
        auto edit = applyEdit(place.content, place.syntax, place.reading.cells, *hit.match, shown, newText);
        if (!edit.source) {
            switch (edit.refusal) {
                case Refusal::changesValue: throw AgentServiceError(AgentServiceError::Kind::textFromValue);
                case Refusal::crossesMarkup: throw AgentServiceError(AgentServiceError::Kind::editCrossesMarkup);
                case Refusal::unchecked: throw AgentServiceError(AgentServiceError::Kind::unsafeEdit);
            }
        }
        edited = std::move(*edit.source);
    }
    files::writeAtomically(place.file, edited);
    return {place.relative};
}

}  // namespace tarn::rendered
