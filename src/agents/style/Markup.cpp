#include "agents/style/Markup.h"

#include "agents/ProjectFiles.h"
#include "support/Text.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tarn::style::markup {

namespace fs = std::filesystem;

namespace {

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::optional<Tag> readTag(std::string_view s, std::size_t nameEnd) {
    Tag tag;
    tag.nameEnd = nameEnd;
    std::size_t i = nameEnd;
    while (i < s.size()) {
        while (i < s.size() && isSpace(s[i])) ++i;
        if (i >= s.size()) return std::nullopt;
        if (s[i] == '>' || (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '>')) {
            tag.close = i;
            return tag;
        }
        if (s[i] == '{') {  // a spread: {...props}
            i = pastBracket(s, i);
            if (i == std::string_view::npos) return std::nullopt;
            continue;
        }
        const std::size_t nameStart = i;
        while (i < s.size() && !isSpace(s[i]) && s[i] != '=' && s[i] != '>' && s[i] != '/') ++i;
        Attribute a{std::string(s.substr(nameStart, i - nameStart)), i, i};
        if (a.name.empty()) return std::nullopt;
        if (i < s.size() && s[i] == '=') {
            a.begin = ++i;
            if (i >= s.size()) return std::nullopt;
            if (s[i] == '"' || s[i] == '\'') i = pastString(s, i);
            else if (s[i] == '{') i = pastBracket(s, i);
            else while (i < s.size() && !isSpace(s[i]) && s[i] != '>') ++i;
            if (i == std::string_view::npos) return std::nullopt;
            a.end = i;
        }
        tag.attributes.push_back(std::move(a));
    }
    return std::nullopt;
}

std::size_t offsetOfLine(std::string_view s, int line) {
    std::size_t at = 0;
    for (int l = 1; l < line; ++l) {
        at = s.find('\n', at);
        if (at == std::string_view::npos) return s.size();
        ++at;
    }
    return at;
}

bool tagStartsAt(std::string_view s, std::size_t at, std::string_view name) {
    if (s.compare(at, name.size() + 1, "<" + std::string(name)) != 0) return false;
    const std::size_t after = at + 1 + name.size();
    return after < s.size() && (isSpace(s[after]) || s[after] == '>' || s[after] == '/');
}

}  // namespace

// The end of a quoted string or template literal that starts at `at`, past its closing quote.
std::size_t pastString(std::string_view s, std::size_t at) {
    const char quote = s[at];
    for (std::size_t i = at + 1; i < s.size(); ++i) {
        if (s[i] == '\\') ++i;
        else if (s[i] == quote) return i + 1;
    }
    return std::string_view::npos;
}

// Past the bracket that closes the one at `at` ('{', '(' or '['), strings skipped.
std::size_t pastBracket(std::string_view s, std::size_t at) {
    int depth = 0;
    for (std::size_t i = at; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"' || c == '\'' || c == '`') {
            i = pastString(s, i);
            if (i == std::string_view::npos) return i;
            --i;
        } else if (c == '{' || c == '(' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ')' || c == ']') {
            if (--depth == 0) return i + 1;
        }
    }
    return std::string_view::npos;
}

// The opening tag of the element at the target's place: on its line when the framework gave it,
// else (or when it is not there) the nearest one before the place that is still open there.
std::optional<Tag> elementTag(std::string_view s, const InspectTarget& target) {
    const std::string tagName = text::toLower(target.tagName);
    const std::size_t lineStart = offsetOfLine(s, target.line);
    std::size_t position = lineStart;
    for (int c = 1; c < target.column && position < s.size() && s[position] != '\n'; ++c) {
        ++position;
        while (position < s.size() && (static_cast<unsigned char>(s[position]) & 0xC0) == 0x80) ++position;
    }
    if (target.locatedBy == LocatedBy::framework) {
        // The tag at its place (a column counted from 0 or 1), or the line's first without a column.
        const std::size_t lineEnd = s.find('\n', lineStart);
        const std::size_t from = target.column > 0 ? std::max(lineStart, position == 0 ? 0 : position - 1) : lineStart;
        for (std::size_t at = s.find('<', from); at != std::string_view::npos && at <= lineEnd; at = s.find('<', at + 1)) {
            if (tagStartsAt(s, at, tagName)) return readTag(s, at + 1 + tagName.size());
            if (target.column > 0) break;
        }
        // Not there: the place is the element's text, inside it.
    }
    for (std::size_t at = s.rfind('<', position); at != std::string_view::npos; at = at == 0 ? std::string_view::npos : s.rfind('<', at - 1)) {
        if (!tagStartsAt(s, at, tagName)) continue;
        auto tag = readTag(s, at + 1 + tagName.size());
        if (!tag) return std::nullopt;
        // The place is in the tag itself, or in its content: not closed before it.
        if (tag->close >= position) return tag;
        const std::string_view between = s.substr(tag->close, position - tag->close);
        if (s[tag->close] == '/' || between.find("</" + tagName) != std::string_view::npos) return std::nullopt;
        return tag;
    }
    return std::nullopt;
}

// The class list's string literal inside an attribute value: "…", {"…"}, {`…`} without values,
// or a string argument of cn()/clsx() (the one with a utility of the property, else the first).
std::optional<std::pair<std::size_t, std::size_t>> classLiteral(std::string_view s, const Attribute& a, const Change& change,
                                                                 std::string_view variant) {
    std::string_view value = s.substr(a.begin, a.end - a.begin);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')) return std::pair{a.begin + 1, a.end - 1};
    if (value.size() < 2 || value.front() != '{') return std::nullopt;
    std::size_t i = a.begin + 1;
    while (i < a.end && isSpace(s[i])) ++i;
    if (s[i] == '"' || s[i] == '\'' || s[i] == '`') {
        const std::size_t end = pastString(s, i);
        std::size_t rest = end;
        while (rest < a.end && isSpace(s[rest])) ++rest;
        if (end == std::string_view::npos || rest != a.end - 1) return std::nullopt;
        if (s[i] == '`' && s.substr(i, end - i).find("${") != std::string_view::npos) return std::nullopt;
        return std::pair{i + 1, end - 1};
    }
    static constexpr std::array<std::string_view, 6> joiners{"cn", "clsx", "classNames", "classnames", "twMerge", "cx"};
    std::size_t nameEnd = i;
    while (nameEnd < a.end && (std::isalnum(static_cast<unsigned char>(s[nameEnd])) || s[nameEnd] == '_')) ++nameEnd;
    if (std::find(joiners.begin(), joiners.end(), s.substr(i, nameEnd - i)) == joiners.end() || s[nameEnd] != '(') return std::nullopt;
    std::optional<std::pair<std::size_t, std::size_t>> first, matching;
    const std::size_t callEnd = pastBracket(s, nameEnd);
    if (callEnd == std::string_view::npos) return std::nullopt;
    // Only its own arguments' plain strings; those in a condition or an object stay unread.
    int depth = 0;
    for (std::size_t at = nameEnd; at < callEnd; ++at) {
        const char c = s[at];
        if (c == '(' || c == '{' || c == '[') ++depth;
        else if (c == ')' || c == '}' || c == ']') --depth;
        else if (c == '"' || c == '\'' || c == '`') {
            const std::size_t end = pastString(s, at);
            if (end == std::string_view::npos) return std::nullopt;
            const std::string_view literal = s.substr(at + 1, end - at - 2);
            std::size_t before = at;
            while (before > nameEnd && isSpace(s[before - 1])) --before;
            const bool plain = depth == 1 && (s[before - 1] == '(' || s[before - 1] == ',') && !(c == '`' && literal.find("${") != std::string_view::npos);
            if (plain) {
                if (!first) first = std::pair{at + 1, end - 1};
                for (std::size_t w = 0; !matching && w < literal.size();) {
                    while (w < literal.size() && isSpace(literal[w])) ++w;
                    std::size_t e = w;
                    while (e < literal.size() && !isSpace(literal[e])) ++e;
                    auto u = parseUtility(literal.substr(w, e - w));
                    if (u && u->property == change.property && u->variant == variant) matching = std::pair{at + 1, end - 1};
                    w = e;
                }
            }
            at = end - 1;
        }
    }
    return matching ? matching : first;
}

namespace {

// The dotted key of the string value that starts on `line` of a JSON text ("nav.home"): the one
// that reads `shown` when several do; none in an array, or when no value starts there.
std::optional<std::string> keyOnLine(std::string_view json, int line, const std::string& shown) {
    std::optional<std::string> first;
    struct Open {
        char kind;
        std::string key;
    };
    std::vector<Open> open;
    std::string pending;
    int current = 1;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '\n') {
            ++current;
        } else if (c == '{' || c == '[') {
            open.push_back({c, pending});
            pending.clear();
        } else if (c == '}' || c == ']') {
            if (open.empty()) return std::nullopt;
            open.pop_back();
        } else if (c == '"') {
            const int startLine = current;
            std::string value;
            std::size_t e = i + 1;
            for (; e < json.size() && json[e] != '"'; ++e) {
                if (json[e] == '\\' && e + 1 < json.size()) ++e;
                if (json[e] == '\n') ++current;
                value += json[e];
            }
            i = e;
            std::size_t after = e + 1;
            while (after < json.size() && isSpace(json[after])) ++after;
            if (after < json.size() && json[after] == ':') {
                pending = value;
            } else if (startLine == line && !open.empty() && open.back().kind == '{') {
                std::vector<std::string> keys;
                for (std::size_t o = 1; o < open.size(); ++o) {
                    if (open[o].kind != '{' || open[o - 1].kind != '{') return std::nullopt;
                    keys.push_back(open[o].key);
                }
                keys.push_back(pending);
                if (text::trim(value) == text::trim(shown)) return text::join(keys, ".");
                if (!first) first = text::join(keys, ".");
            }
        }
    }
    return first;
}

// The name a string constant on the line is given: export const OPENING = '…'.
std::optional<std::string> constantOnLine(std::string_view code, int line) {
    std::size_t start = 0;
    for (int l = 1; l < line && start != std::string_view::npos; ++l) {
        start = code.find('\n', start);
        if (start != std::string_view::npos) ++start;
    }
    if (start == std::string_view::npos) return std::nullopt;
    const std::string_view text = code.substr(start, code.find('\n', start) - start);
    const std::size_t keyword = text.find("const ");
    if (keyword == std::string_view::npos) return std::nullopt;
    std::size_t end = keyword + 6;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_' || text[end] == '$')) ++end;
    std::size_t after = end;
    while (after < text.size() && isSpace(text[after])) ++after;
    if (end == keyword + 6 || after >= text.size() || text[after] != '=') return std::nullopt;
    std::size_t value = after + 1;
    while (value < text.size() && isSpace(text[value])) ++value;
    if (value >= text.size() || (text[value] != '\'' && text[value] != '"' && text[value] != '`')) return std::nullopt;
    return std::string(text.substr(keyword + 6, end - keyword - 6));
}

}  // namespace

std::optional<InspectTarget> throughLookup(const fs::path& root, const InspectTarget& target) {
    const std::string ext = text::toLower(fs::path(target.fileGuess).extension().string());
    const bool script = ext == ".js" || ext == ".ts" || ext == ".mjs";
    if ((ext != ".json" && !script) || target.line <= 0) return std::nullopt;
    auto source = projectfiles::readText(root / target.fileGuess);
    if (!source) return std::nullopt;
    // What the markup names it by: a message key in quotes, or a constant in braces.
    std::vector<std::string> needles;
    if (ext == ".json") {
        if (auto key = keyOnLine(*source, target.line, target.textSnippet); key && !key->empty()) needles = {"'" + *key + "'", "\"" + *key + "\"", "`" + *key + "`"};
    } else {
        if (auto name = constantOnLine(*source, target.line)) needles = {"{" + *name + "}"};
    }
    if (needles.empty()) return std::nullopt;
    std::optional<InspectTarget> found;
    for (const auto& file : projectfiles::sourceFiles(root)) {
        const std::string kind = text::toLower(file.extension().string());
        if (kind == ".json" || kind == ".md" || kind == ".css" || projectfiles::isMessageFile(file, root)) continue;
        auto content = projectfiles::readText(file);
        if (!content) continue;
        for (const auto& quoted : needles) {
            for (std::size_t at = content->find(quoted); at != std::string::npos; at = content->find(quoted, at + 1)) {
                if (found) return std::nullopt;  // looked up in two places
                InspectTarget place = target;
                place.fileGuess = projectfiles::relativePath(file, root);
                place.line = 1 + static_cast<int>(std::count(content->begin(), content->begin() + static_cast<std::ptrdiff_t>(at), '\n'));
                const std::size_t lineStart = content->rfind('\n', at);
                place.column = static_cast<int>(at - (lineStart == std::string::npos ? 0 : lineStart + 1)) + 1;
                place.locatedBy = LocatedBy::text;
                found = std::move(place);
            }
        }
    }
    return found;
}

}  // namespace tarn::style::markup
