#include "agents/style/StyleEdit.h"

#include "agents/AgentServiceError.h"
#include "agents/ProjectFiles.h"
#include "support/Files.h"
#include "support/Json.h"
#include "support/Text.h"
#include "support/Translate.h"

#include <array>
#include <cctype>
#include <optional>
#include <vector>

namespace tarn::style {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void refuse(const std::string& why) { throw AgentServiceError(AgentServiceError::Kind::unsafeEdit, why); }

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

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

struct Attribute {
    std::string name;
    std::size_t begin = 0, end = 0;  // the value as written: quotes or braces included
};

// The element's opening tag: where its name ends, where it closes ('>' or "/>"), its attributes.
struct Tag {
    std::size_t nameEnd = 0, close = 0;
    std::vector<Attribute> attributes;
    const Attribute* find(std::string_view name) const {
        for (const auto& a : attributes) {
            if (a.name == name) return &a;
        }
        return nullptr;
    }
};

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

// The opening tag of the element at the target's place: on its line when the framework gave it,
// else the nearest one before its text that is still open there.
std::optional<Tag> elementTag(std::string_view s, const InspectTarget& target) {
    const std::string tagName = text::toLower(target.tagName);
    const std::size_t lineStart = offsetOfLine(s, target.line);
    if (target.locatedBy == LocatedBy::framework) {
        const std::size_t lineEnd = s.find('\n', lineStart);
        for (std::size_t at = s.find('<', lineStart); at != std::string_view::npos && at <= lineEnd; at = s.find('<', at + 1)) {
            if (tagStartsAt(s, at, tagName)) return readTag(s, at + 1 + tagName.size());
        }
        return std::nullopt;
    }
    std::size_t position = lineStart;
    for (int c = 1; c < target.column && position < s.size() && s[position] != '\n'; ++c) {
        ++position;
        while (position < s.size() && (static_cast<unsigned char>(s[position]) & 0xC0) == 0x80) ++position;
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

bool isScript(const fs::path& file) {
    const std::string ext = file.extension().string();
    return ext == ".jsx" || ext == ".tsx" || ext == ".js" || ext == ".ts" || ext == ".mdx";
}

// The CSS property of a change, with a box's side when it names one.
std::vector<std::string> cssProperties(const Change& change) {
    static const std::array<std::pair<unsigned, const char*>, 4> sides{{{top, "top"}, {right, "right"}, {bottom, "bottom"}, {left, "left"}}};
    std::string base;
    switch (change.property) {
        case Property::color: return {"color"};
        case Property::background: return {"background-color"};
        case Property::fontSize: return {"font-size"};
        case Property::fontWeight: return {"font-weight"};
        case Property::textAlign: return {"text-align"};
        case Property::borderRadius: return {"border-radius"};
        case Property::width: return {"width"};
        case Property::maxWidth: return {"max-width"};
        case Property::flexDirection: return {"flex-direction"};
        case Property::gap: return {"gap"};
        case Property::alignItems: return {"align-items"};
        case Property::justifyContent: return {"justify-content"};
        case Property::margin: base = "margin"; break;
        case Property::padding: base = "padding"; break;
    }
    if (change.sides == allSides) return {base};
    std::vector<std::string> out;
    for (const auto& [side, name] : sides) {
        if (change.sides & side) out.push_back(base + "-" + name);
    }
    return out;
}

std::string camelCase(const std::string& property) {
    std::string out;
    for (std::size_t i = 0; i < property.size(); ++i) {
        if (property[i] == '-' && i + 1 < property.size()) out += static_cast<char>(std::toupper(static_cast<unsigned char>(property[++i])));
        else out += property[i];
    }
    return out;
}

// A value CSS would take as written, and nothing that could end the attribute or the string.
bool safeValue(const std::string& value) {
    return !value.empty() && value.find_first_of("\"'`;{}<>\\\n") == std::string::npos;
}

// `style="a: b; c: d"` with each property set.
std::string setDeclarations(std::string_view declarations, const std::vector<std::string>& properties, const std::string& value) {
    std::vector<std::string> kept;
    for (const auto& piece : text::split(std::string(declarations), ';', true)) {
        const std::string name = text::toLower(text::trim(piece.substr(0, piece.find(':'))));
        if (!text::trim(piece).empty() && std::find(properties.begin(), properties.end(), name) == properties.end()) {
            kept.push_back(text::trim(piece));
        }
    }
    for (const auto& p : properties) kept.push_back(p + ": " + value);
    return text::join(kept, "; ");
}

// `style={{ fontSize: 18 }}` with each property set; nothing when an entry is not a plain key and
// literal (a spread, a value from code).
std::optional<std::string> setStyleObject(std::string_view object, const std::vector<std::string>& properties, const std::string& value) {
    std::vector<std::string> kept;
    std::size_t at = 0;
    while (at < object.size()) {
        std::size_t end = at;
        for (; end < object.size() && object[end] != ','; ++end) {
            const char c = object[end];
            if (c == '"' || c == '\'' || c == '`') {
                end = pastString(object, end);
                if (end == std::string_view::npos) return std::nullopt;
                --end;
            } else if (c == '(' || c == '{' || c == '[') {
                return std::nullopt;
            }
        }
        const std::string entry = text::trim(std::string(object.substr(at, end - at)));
        at = end + 1;
        if (entry.empty()) continue;
        const auto colon = entry.find(':');
        if (colon == std::string::npos || entry.starts_with("...")) return std::nullopt;
        std::string key = text::trim(entry.substr(0, colon));
        if (key.size() >= 2 && (key.front() == '"' || key.front() == '\'')) key = camelCase(key.substr(1, key.size() - 2));
        const bool replaced = std::any_of(properties.begin(), properties.end(), [&](const std::string& p) { return camelCase(p) == key; });
        if (!replaced) kept.push_back(entry);
    }
    for (const auto& p : properties) kept.push_back(camelCase(p) + ": '" + value + "'");
    return " " + text::join(kept, ", ") + " ";
}

std::string shownName(const InspectTarget& target) {
    return target.componentGuess.empty() ? text::toLower(target.tagName) : target.componentGuess;
}

}  // namespace

bool usesTailwind(const fs::path& root) {
    auto text = projectfiles::readText(root / "package.json");
    if (!text) return false;
    auto manifest = json::Json::parse(*text, nullptr, false);
    if (!manifest.is_object()) return false;
    for (const char* group : {"dependencies", "devDependencies"}) {
        auto deps = manifest.find(group);
        if (deps == manifest.end() || !deps->is_object()) continue;
        for (const char* name : {"tailwindcss", "@tailwindcss/vite", "@tailwindcss/postcss"}) {
            if (deps->contains(name)) return true;
        }
    }
    return false;
}

std::string describe(const Change& change) {
    std::string what;
    switch (change.property) {
        case Property::color: return _("text color");
        case Property::background: return _("background");
        case Property::fontSize: return _("font size");
        case Property::fontWeight: return _("font weight");
        case Property::textAlign: return _("alignment");
        case Property::borderRadius: return _("corner radius");
        case Property::width: return _("width");
        case Property::maxWidth: return _("maximum width");
        case Property::flexDirection: return _("direction");
        case Property::gap: return _("gap");
        case Property::alignItems: return _("alignment of items");
        case Property::justifyContent: return _("distribution of items");
        case Property::margin: what = _("margin"); break;
        case Property::padding: what = _("padding"); break;
    }
    if (change.sides == allSides) return what;
    std::vector<std::string> sides;
    if (change.sides & top) sides.push_back(_("top"));
    if (change.sides & right) sides.push_back(_("right"));
    if (change.sides & bottom) sides.push_back(_("bottom"));
    if (change.sides & left) sides.push_back(_("left"));
    return tr::format(_("%1 (%2)"), {what, text::join(sides, ", ")});
}

Result apply(const fs::path& root, const Request& request) {
    const InspectTarget& target = request.target;
    if (target.fileGuess.empty() || target.line <= 0 || target.tagName.empty()) {
        refuse(_("Tarn does not know where this element is written, so its style was left as it was; describe the change to the agent."));
    }
    const fs::path file = root / target.fileGuess;
    if (!projectfiles::resolvesInside(file, root)) refuse(_("This element comes from outside the project."));
    auto content = projectfiles::readText(file);
    if (!content) refuse(tr::format(_("%1 could not be read."), {target.fileGuess}));
    const std::string& s = *content;
    auto tag = elementTag(s, target);
    if (!tag) {
        refuse(tr::format(_("The <%1> at %2 could not be found as written, so its style was left as it was."),
                          {text::toLower(target.tagName), target.location()}));
    }
    const Change& change = request.change;
    const bool script = isScript(file);
    std::string edited;
    std::string value = change.value;

    if (usesTailwind(root)) {
        const Attribute* classes = tag->find(script ? "className" : "class");
        if (!classes && script) classes = tag->find("class");
        if (!classes) {
            if (tag->find(":class") || tag->find("v-bind:class")) {
                refuse(_("This element's classes are computed in code, so its style was left as it was; describe the change to the agent."));
            }
            auto utility = utilityFor(change);
            if (!utility) refuse(tr::format(_("%1 cannot be written as a Tailwind class."), {value}));
            edited = s.substr(0, tag->nameEnd) + " " + (script ? "className" : "class") + "=\"" + *utility + "\"" + s.substr(tag->nameEnd);
        } else {
            auto literal = classLiteral(s, *classes, change, "");
            if (!literal) {
                refuse(_("This element's classes are built in code, so its style was left as it was; describe the change to the agent."));
            }
            const auto [begin, end] = *literal;
            auto list = applyToClassList(std::string_view(s).substr(begin, end - begin), change);
            if (!list) refuse(tr::format(_("%1 cannot be written as a Tailwind class."), {value}));
            edited = s.substr(0, begin) + *list + s.substr(end);
        }
    } else {
        // Plain CSS: where the element is styled inline, the inline style.
        if (!safeValue(value)) refuse(tr::format(_("%1 cannot be written into the page's source safely."), {value}));
        const auto properties = cssProperties(change);
        const Attribute* style = tag->find("style");
        if (!style || style->end <= style->begin) {
            refuse(_("This element is styled by the page's style sheets, so its style was left as it was; describe the change to the agent."));
        }
        const std::string_view written = std::string_view(s).substr(style->begin, style->end - style->begin);
        std::string replacement;
        if (written.starts_with("{{") && written.ends_with("}}")) {
            auto object = setStyleObject(written.substr(2, written.size() - 4), properties, value);
            if (!object) refuse(_("This element's style is built in code, so it was left as it was; describe the change to the agent."));
            replacement = "{{" + *object + "}}";
        } else if (written.size() >= 2 && (written.front() == '"' || written.front() == '\'')) {
            replacement = written.front() + setDeclarations(written.substr(1, written.size() - 2), properties, value) + written.back();
        } else {
            refuse(_("This element's style is built in code, so it was left as it was; describe the change to the agent."));
        }
        edited = s.substr(0, style->begin) + replacement + s.substr(style->end);
    }
    files::writeAtomically(file, edited);
    const std::string location = target.location();
    const std::string message =
        request.before.empty()
            ? tr::format(_("Style: %1 → %2 on %3, %4"), {describe(change), value, shownName(target), location})
            : tr::format(_("Style: %1 %2 → %3 on %4, %5"), {describe(change), request.before, value, shownName(target), location});
    return Result{target.fileGuess, target.line, message};
}

}  // namespace tarn::style
