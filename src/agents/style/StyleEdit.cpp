#include "agents/style/StyleEdit.h"

#include "agents/style/Markup.h"
#include "agents/style/SheetEdit.h"

#include "agents/AgentServiceError.h"
#include "agents/ProjectFiles.h"
#include "support/Files.h"
#include "support/Json.h"
#include "support/Text.h"
#include "support/Translate.h"

#include <array>
#include <map>
#include <cctype>
#include <optional>
#include <vector>

namespace tarn::style {

namespace fs = std::filesystem;
using markup::Attribute;
using markup::Tag;
using markup::classLiteral;
using markup::elementTag;
using markup::pastString;
using markup::pastBracket;

namespace {

[[noreturn]] void refuse(const std::string& why) { throw AgentServiceError(AgentServiceError::Kind::unsafeEdit, why); }

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Whether the file's markup is JSX (className, style objects) rather than HTML in a template
// string (class, style text): by its extension, and for plain scripts by what they use.
bool isJsx(const fs::path& file, std::string_view content) {
    const std::string ext = text::toLower(file.extension().string());
    if (ext == ".jsx" || ext == ".tsx" || ext == ".mdx") return true;
    if (ext != ".js" && ext != ".ts" && ext != ".mjs") return false;
    for (std::string_view sign : {"className", "from 'react'", "from \"react\"", "from 'preact", "from \"preact", "from 'solid-js", "from \"solid-js"}) {
        if (content.find(sign) != std::string_view::npos) return true;
    }
    return false;
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

// A style object's entries for the properties: fontSize: '18px'.
std::vector<std::string> styleEntries(const std::vector<std::string>& properties, const std::string& value) {
    std::vector<std::string> out;
    for (const auto& p : properties) out.push_back(camelCase(p) + ": '" + value + "'");
    return out;
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
    for (auto& entry : styleEntries(properties, value)) kept.push_back(std::move(entry));
    return " " + text::join(kept, ", ") + " ";
}

std::string shownName(const InspectTarget& target) {
    return target.componentGuess.empty() ? text::toLower(target.tagName) : target.componentGuess;
}

// The page's source of a property's value, by the name the page reports it under.
StyleSource sourceOf(const InspectTarget& target, const std::string& property) {
    std::string key = property;
    if (property == "margin" || property == "padding") key += "-top";
    else if (property == "border-radius") key = "border-top-left-radius";
    auto it = target.styleSources.find(key);
    return it == target.styleSources.end() ? StyleSource{} : it->second;
}

// The reply: "Style: font size 18px → 22px on hero-title, src/App.jsx:17".
std::string said(const Request& request, const std::string& where) {
    const std::string what = request.before.empty() ? tr::format(_("%1 → %2"), {describe(request.change), request.change.value})
                                                    : tr::format(_("%1 %2 → %3"), {describe(request.change), request.before, request.change.value});
    return tr::format(_("Style: %1 on %2, %3"), {what, shownName(request.target), where});
}

std::string kebab(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (std::isupper(c) && i > 0 && !out.empty() && out.back() != '-') out += '-';
        if (std::isalnum(c)) out += static_cast<char>(std::tolower(c));
        else if (!out.empty() && out.back() != '-') out += '-';
    }
    while (!out.empty() && out.back() == '-') out.pop_back();
    return out;
}

std::vector<std::string> words(std::string_view list) {
    std::vector<std::string> out;
    for (std::size_t w = 0; w < list.size();) {
        while (w < list.size() && isSpace(list[w])) ++w;
        std::size_t e = w;
        while (e < list.size() && !isSpace(list[e])) ++e;
        if (e > w) out.emplace_back(list.substr(w, e - w));
        w = e;
    }
    return out;
}

// The selectors a class of the element's own can have, weakest first: the first that outranks the
// rule the element has its value from is the one written.
std::vector<std::pair<std::string, std::array<int, 3>>> ownSelectors(const std::string& name, const std::string& tag) {
    const std::string c = "." + name;
    return {{c, {0, 1, 0}}, {tag + c, {0, 1, 1}}, {c + c, {0, 2, 0}}, {tag + c + c, {0, 2, 1}}, {c + c + c, {0, 3, 0}}, {tag + c + c + c, {0, 3, 1}}};
}

// A class of the element's own added to its source, and a rule for it in the sheet its styles
// belong in: where the rule that styles it also styles other elements, or nothing styles it.
// None when no sheet belongs to it.
std::optional<Result> ownClass(const fs::path& root, const fs::path& file, const std::string& s, const Tag& tag, const Request& request,
                const StyleSource& source, const std::vector<std::string>& properties) {
    const InspectTarget& target = request.target;
    const bool script = isJsx(file, s);
    auto sheet = sheets::ownSheet(root, file, s, target);
    if (!sheet) return std::nullopt;
    const bool sameFile = *sheet == file;
    auto sheetText = sameFile ? std::optional(s) : projectfiles::readText(*sheet);
    if (!sheetText) refuse(tr::format(_("%1 could not be read."), {projectfiles::relativePath(*sheet, root)}));

    const Attribute* classes = tag.find(script ? "className" : "class");
    if (!classes && script) classes = tag.find("class");
    std::optional<std::pair<std::size_t, std::size_t>> literal;
    if (classes) {
        literal = classLiteral(s, *classes, request.change, "");
        if (!literal) refuse(_("This element's classes are built in code, so its style was left as it was; describe the change to the agent."));
    }
    const std::vector<std::string> present = literal ? words(std::string_view(s).substr(literal->first, literal->second - literal->first))
                                                     : std::vector<std::string>{};
    const std::string tagName = text::toLower(target.tagName);
    const std::string base = kebab(file.stem().string()) + "-" + tagName;
    auto ours = [&](const std::string& c) { return c == base || (c.starts_with(base + "-") && c.find_first_not_of("0123456789", base.size() + 1) == std::string::npos); };

    // A class this edit gave the element before, and its rule when that outranks the one the
    // value comes from: changed again.
    const std::array<int, 3> beat = source.kind == StyleSource::Kind::rule ? source.specificity : std::array<int, 3>{};
    std::string name, selector;
    for (const auto& c : present) {
        if (!ours(c)) continue;
        name = c;
        for (const auto& [form, weight] : ownSelectors(c, tagName)) {
            if (weight > beat && sheets::hasRule(*sheet, *sheetText, form)) selector = form;
        }
        if (selector.empty() && !source.matched.empty() && sheets::hasRule(*sheet, *sheetText, source.matched + "." + c)) {
            selector = source.matched + "." + c;
        }
    }
    if (selector.empty()) {
        if (name.empty()) {
            name = base;
            for (int n = 2; sheetText->find("." + name) != std::string::npos || std::find(present.begin(), present.end(), name) != present.end(); ++n) {
                name = base + "-" + std::to_string(n);
            }
        }
        for (const auto& [form, weight] : ownSelectors(name, tagName)) {
            if (weight > beat) {
                selector = form;
                break;
            }
        }
        // Against an id or a long chain: the rule's own selector, narrowed to the new class.
        if (selector.empty() && !source.matched.empty() && source.matched.find("::") == std::string::npos &&
            source.matched.find('&') == std::string::npos && source.matched.find("[data-v-") == std::string::npos &&
            source.matched.find(".svelte-") == std::string::npos) {
            selector = source.matched + "." + name;
        }
        if (selector.empty()) {
            refuse(_("The rule that styles this element is too specific to outrank with a class, so its style was left as it was; describe the change to the agent."));
        }
    }

    std::string element = s;
    if (std::find(present.begin(), present.end(), name) == present.end()) {
        if (literal) {
            const bool blank = literal->second == literal->first;
            element = s.substr(0, literal->second) + (blank ? "" : " ") + name + s.substr(literal->second);
        } else {
            element = s.substr(0, tag.nameEnd) + " " + (script ? "className" : "class") + "=\"" + name + "\"" + s.substr(tag.nameEnd);
        }
    }
    auto rule = sheets::setOwnRule(*sheet, sameFile ? element : *sheetText, selector, properties, request.change.value);
    if (!sameFile) {
        files::writeAtomically(*sheet, rule.content);
        if (element != s) files::writeAtomically(file, element);
    } else {
        files::writeAtomically(file, rule.content);
    }
    const std::string sheetName = projectfiles::relativePath(*sheet, root);
    std::vector<std::string> changed{sheetName};
    if (!sameFile && element != s) changed.push_back(target.fileGuess);
    const std::string where = sameFile ? tr::format(_("with class %1 (%2)"), {name, sheetName + ":" + std::to_string(rule.line)})
                                       : tr::format(_("with class %1 (%2 and %3)"), {name, target.location(), sheetName + ":" + std::to_string(rule.line)});
    return Result{changed, said(request, where)};
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

std::map<std::string, std::string> whereFrom(const fs::path& root, const InspectTarget& target) {
    std::map<std::string, std::string> out;
    std::map<fs::path, std::optional<std::string>> texts;  // each sheet read once
    for (const auto& [property, source] : target.styleSources) {
        std::string& label = out[property];
        switch (source.kind) {
            case StyleSource::Kind::inline_: label = _("Inline style"); continue;
            case StyleSource::Kind::inherited: label = _("Inherited"); continue;
            case StyleSource::Kind::defaulted: label = _("Browser default"); continue;
            case StyleSource::Kind::unknown: continue;
            case StyleSource::Kind::rule: break;
        }
        if (source.matched == "*") {
            label = _("Reset of every element");
            continue;
        }
        // A lone class that is a utility: the utility's name, unescaped.
        if (source.selector.starts_with(".") && source.selector.find_first_of(" ,>+~[#", 1) == std::string::npos) {
            std::string name;
            for (std::size_t i = 1; i < source.selector.size(); ++i) {
                if (source.selector[i] == '\\' && i + 1 < source.selector.size()) name += source.selector[++i];
                else if (source.selector[i] == ':' || source.selector[i] == '.') break;
                else name += source.selector[i];
            }
            if (parseUtility(name)) {
                label = name;
                continue;
            }
        }
        label = source.selector;
        auto file = sheets::sheetFile(source.sheet, root);
        if (!file) continue;
        auto [text, fresh] = texts.try_emplace(*file);
        if (fresh) text->second = projectfiles::readText(*file);
        if (!text->second) continue;
        if (auto line = sheets::ruleLine(*file, *text->second, source, property)) {
            label = projectfiles::relativePath(*file, root) + ":" + std::to_string(*line) + " · " + source.selector;
        }
    }
    return out;
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

Result apply(const fs::path& root, const Request& given) {
    // Text from a message file or a constant: the element is where it is looked up.
    std::optional<Request> throughKey;
    if (auto place = markup::throughLookup(root, given.target)) throughKey = Request{*place, given.change, given.before};
    const Request& request = throughKey ? *throughKey : given;
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
    const bool script = isJsx(file, s);
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
        if (!safeValue(value)) refuse(tr::format(_("%1 cannot be written into the page's source safely."), {value}));
        const auto properties = cssProperties(change);
        const StyleSource source = sourceOf(target, properties.front());
        const Attribute* style = tag->find("style");
        const bool inlineStyled = source.kind == StyleSource::Kind::inline_ || (source.kind == StyleSource::Kind::unknown && style && style->end > style->begin);
        if (!inlineStyled) {
            // The rule that gives the value, when it styles nothing but elements from this place.
            if (source.kind == StyleSource::Kind::rule && source.sameSource) {
                if (auto rule = sheets::editRule(root, source, properties, value)) {
                    files::writeAtomically(rule->file, rule->content);
                    const std::string written = projectfiles::relativePath(rule->file, root) + ":" + std::to_string(rule->line);
                    return Result{{projectfiles::relativePath(rule->file, root)},
                                  said(request, tr::format(_("in %1 (%2)"), {written, source.selector}))};
                }
            }
            if (auto own = ownClass(root, file, s, *tag, request, source, properties)) return *own;
            // A file that takes styles from sheets keeps its styles there.
            if (s.find(".css'") != std::string::npos || s.find(".css\"") != std::string::npos) {
                refuse(_("No style sheet of this element's file can take a rule for it, so its style was left as it was; describe the change to the agent."));
            }
        }
        // Styled inline, or in a project without style sheets: its style attribute.
        const std::string_view written = style ? std::string_view(s).substr(style->begin, style->end - style->begin) : std::string_view();
        std::string replacement;
        if (!style) {
            replacement = script ? "{{ " + text::join(styleEntries(properties, value), ", ") + " }}" : "\"" + setDeclarations("", properties, value) + "\"";
        } else if (written.starts_with("{{") && written.ends_with("}}")) {
            auto object = setStyleObject(written.substr(2, written.size() - 4), properties, value);
            if (!object) refuse(_("This element's style is built in code, so it was left as it was; describe the change to the agent."));
            replacement = "{{" + *object + "}}";
        } else if (written.size() >= 2 && (written.front() == '"' || written.front() == '\'')) {
            replacement = written.front() + setDeclarations(written.substr(1, written.size() - 2), properties, value) + written.back();
        } else {
            refuse(_("This element's style is built in code, so it was left as it was; describe the change to the agent."));
        }
        edited = style ? s.substr(0, style->begin) + replacement + s.substr(style->end)
                       : s.substr(0, tag->nameEnd) + " style=" + replacement + s.substr(tag->nameEnd);
    }
    files::writeAtomically(file, edited);
    return Result{{target.fileGuess}, said(request, target.location())};
}

}  // namespace tarn::style
