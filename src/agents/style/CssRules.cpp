#include "agents/style/CssRules.h"

#include "support/Text.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace tarn::style::css {

namespace {

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool isName(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || static_cast<unsigned char>(c) >= 0x80; }

// Past a comment or string that starts at `at`, or `at` itself when none does.
std::size_t skipOpaque(std::string_view s, std::size_t at, std::size_t end) {
    if (s[at] == '/' && at + 1 < end && s[at + 1] == '*') {
        const std::size_t close = s.find("*/", at + 2);
        return close == std::string_view::npos || close + 2 > end ? end : close + 2;
    }
    if (s[at] == '"' || s[at] == '\'') {
        for (std::size_t i = at + 1; i < end; ++i) {
            if (s[i] == '\\') ++i;
            else if (s[i] == s[at] || s[i] == '\n') return i + 1;
        }
        return end;
    }
    return at;
}

// Comments dropped, whitespace collapsed.
std::string cleaned(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            i = skipOpaque(s, i, s.size());
            out += ' ';
            continue;
        }
        if (isSpace(s[i])) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += s[i];
        }
        ++i;
    }
    return text::trim(out);
}

struct Declaration {
    std::string name;
    std::size_t begin = 0, valueBegin = 0, valueEnd = 0, end = 0;  // end: past its ';' when it has one
    bool terminated = false;
};

// The rule's own declarations, nested rules skipped.
std::vector<Declaration> declarations(std::string_view s, const Rule& rule) {
    std::vector<Declaration> out;
    std::size_t start = rule.open + 1;
    for (std::size_t i = start; i <= rule.close;) {
        const std::size_t past = i < rule.close ? skipOpaque(s, i, rule.close) : i;
        if (past != i) {
            i = past;
            continue;
        }
        const char c = i < rule.close ? s[i] : ';';
        if (c == '{') {  // a nested rule: skip it whole
            int depth = 0;
            for (; i < rule.close; ++i) {
                const std::size_t p = skipOpaque(s, i, rule.close);
                if (p != i) {
                    i = p - 1;
                    continue;
                }
                if (s[i] == '{') ++depth;
                else if (s[i] == '}' && --depth == 0) break;
            }
            start = ++i;
            continue;
        }
        if (c == ';') {
            const std::string_view piece = s.substr(start, i - start);
            const std::size_t colon = piece.find(':');
            std::size_t first = 0;
            while (first < piece.size() && isSpace(piece[first])) ++first;
            if (colon != std::string_view::npos && first < colon) {
                Declaration d;
                d.begin = start + first;
                d.name = text::toLower(text::trim(std::string(piece.substr(first, colon - first))));
                d.valueBegin = start + colon + 1;
                while (d.valueBegin < i && isSpace(s[d.valueBegin])) ++d.valueBegin;
                d.valueEnd = i;
                while (d.valueEnd > d.valueBegin && isSpace(s[d.valueEnd - 1])) --d.valueEnd;
                d.terminated = i < rule.close;
                d.end = d.terminated ? i + 1 : d.valueEnd;
                out.push_back(std::move(d));
            }
            start = i + 1;
        }
        ++i;
    }
    return out;
}

// The shorthands that also set a property.
std::vector<std::string> shorthandsOf(const std::string& property) {
    if (property.starts_with("margin-")) return {"margin"};
    if (property.starts_with("padding-")) return {"padding"};
    if (property == "background-color") return {"background"};
    if (property == "font-size" || property == "font-weight") return {"font"};
    if (property.starts_with("border-") && property.ends_with("-radius")) return {"border-radius"};
    if (property == "flex-direction") return {"flex-flow"};
    return {};
}

bool isLonghandOf(const std::string& name, const std::string& shorthand) {
    const auto shorthands = shorthandsOf(name);
    return std::find(shorthands.begin(), shorthands.end(), shorthand) != shorthands.end() ||
           (shorthand == "padding" && name.starts_with("padding-")) || (shorthand == "margin" && name.starts_with("margin-"));
}

// The selector in the form both sides compare in: spaces only where they combine, quotes dropped
// from attribute values, pseudo-elements with one colon.
std::string normalised(std::string_view selector) {
    const std::string s = cleaned(selector);
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            out += c;
            out += s[++i];
        } else if (c == ' ') {
            const char next = i + 1 < s.size() ? s[i + 1] : '\0';
            if (!out.empty() && std::string_view(">+~,(").find(out.back()) == std::string_view::npos &&
                std::string_view(">+~,)").find(next) == std::string_view::npos) {
                out += ' ';
            }
        } else if (c == '"' || c == '\'') {
            continue;
        } else if (c == ':' && i + 1 < s.size() && s[i + 1] == ':') {
            continue;
        } else {
            out += c;
        }
    }
    return out;
}

// The scoping a framework adds to the selectors it serves: Vue's [data-v-hash], Svelte's .svelte-hash.
std::string unscoped(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        if (s.compare(i, 8, "[data-v-") == 0) {
            const std::size_t close = s.find(']', i);
            if (close != std::string::npos) {
                i = close + 1;
                continue;
            }
        }
        if (s.compare(i, 8, ".svelte-") == 0) {
            std::size_t e = i + 8;
            while (e < s.size() && std::isalnum(static_cast<unsigned char>(s[e]))) ++e;
            i = e;
            continue;
        }
        out += s[i++];
    }
    return out;
}

// A CSS module's class as served: Vite's _name_hash, webpack's file_name__hash, Turbopack's
// file-module__hash__name.
bool hashedFrom(std::string_view served, std::string_view written) {
    if (served == written) return true;
    const std::string name(written);
    return served.find("_" + name + "_") != std::string_view::npos || served.ends_with("__" + name);
}

}  // namespace

std::vector<Rule> readRules(std::string_view s, std::size_t begin, std::size_t end) {
    struct Open {
        std::optional<std::size_t> rule;  // the index of the style rule it opens, if it does
        std::string parent;               // the selector `&` stands for inside it
        std::string condition;            // of the innermost @media around it
    };
    std::vector<Rule> rules;
    std::vector<Open> open;
    std::size_t preludeStart = begin;
    for (std::size_t i = begin; i < end;) {
        const std::size_t past = skipOpaque(s, i, end);
        if (past != i) {
            i = past;
            continue;
        }
        const char c = s[i];
        if (c == '{') {
            const std::string prelude = cleaned(s.substr(preludeStart, i - preludeStart));
            Open o;
            o.parent = open.empty() ? std::string() : open.back().parent;
            o.condition = open.empty() ? std::string() : open.back().condition;
            if (prelude.starts_with("@media")) o.condition = normalisedCondition(prelude);
            if (!prelude.empty() && prelude.front() == '@' && !o.parent.empty()) {
                // Declarations under a condition inside a rule: the rule's, under the condition.
                o.rule = rules.size();
                rules.push_back(Rule{o.parent, i, i, true, o.condition});
            } else if (!prelude.empty() && prelude.front() != '@') {
                // A nested rule as the page serves it: `&` is its parent, else it is inside it.
                std::string selector = prelude;
                if (!o.parent.empty()) {
                    const std::string is = ":is(" + o.parent + ")";
                    if (selector.find('&') == std::string::npos) selector = is + " " + selector;
                    else for (std::size_t at = selector.find('&'); at != std::string::npos; at = selector.find('&', at + is.size())) selector.replace(at, 1, is);
                }
                o.rule = rules.size();
                rules.push_back(Rule{selector, i, i, !o.parent.empty(), o.condition});
                o.parent = selector;
            }
            open.push_back(o);
            preludeStart = i + 1;
        } else if (c == '}') {
            if (open.empty()) break;
            if (open.back().rule) rules[*open.back().rule].close = i;
            open.pop_back();
            preludeStart = i + 1;
        } else if (c == ';') {
            preludeStart = i + 1;
        }
        ++i;
    }
    // A rule left open has no end to write into.
    std::erase_if(rules, [](const Rule& r) { return r.close <= r.open; });
    return rules;
}

std::vector<std::pair<std::size_t, std::size_t>> styleRegions(std::string_view content, const std::filesystem::path& file) {
    const std::string ext = text::toLower(file.extension().string());
    if (ext == ".css" || ext == ".pcss" || ext == ".postcss") return {{0, content.size()}};
    std::vector<std::pair<std::size_t, std::size_t>> out;
    const std::string lower = text::toLower(std::string(content));
    for (std::size_t at = lower.find("<style"); at != std::string::npos; at = lower.find("<style", at + 1)) {
        const std::size_t open = lower.find('>', at);
        if (open == std::string::npos) break;
        const std::string attributes = lower.substr(at, open - at);
        if (attributes.find("lang=") != std::string::npos && attributes.find("lang=\"css\"") == std::string::npos &&
            attributes.find("lang=\"postcss\"") == std::string::npos) {
            continue;  // Sass, Less, Stylus: not CSS as this reads it
        }
        if (attributes.find(" module") != std::string::npos) continue;  // its class names are the module's
        const std::size_t close = lower.find("</style", open);
        if (close == std::string::npos) break;
        out.emplace_back(open + 1, close);
        at = close;
    }
    return out;
}

std::string normalisedCondition(std::string_view query) {
    std::string q = text::toLower(cleaned(query));
    if (q.starts_with("@media")) q = text::trim(q.substr(6));
    std::string out;
    for (char c : q) {
        if (c == ' ' && !out.empty() && (out.back() == '(' || out.back() == ' ')) continue;
        if (c == ')' && !out.empty() && out.back() == ' ') out.pop_back();
        out += c;
    }
    return out;
}

bool sameSelector(std::string_view written, std::string_view served, bool cssModule) {
    const std::string w = normalised(written);
    const std::string s = unscoped(normalised(served));
    if (w == s) return true;
    if (!cssModule) return false;
    // Class names compared as a module serves them; everything else as written.
    std::size_t i = 0, j = 0;
    while (i < w.size() && j < s.size()) {
        if (w[i] == '.' && s[j] == '.') {
            std::size_t ie = i + 1, je = j + 1;
            while (ie < w.size() && isName(w[ie])) ++ie;
            while (je < s.size() && isName(s[je])) ++je;
            if (!hashedFrom(std::string_view(s).substr(j + 1, je - j - 1), std::string_view(w).substr(i + 1, ie - i - 1))) return false;
            i = ie;
            j = je;
        } else if (w[i] == s[j]) {
            ++i;
            ++j;
        } else {
            return false;
        }
    }
    return i == w.size() && j == s.size();
}

bool declares(std::string_view s, const Rule& rule, const std::string& property) {
    const auto shorthands = shorthandsOf(property);
    for (const auto& d : declarations(s, rule)) {
        if (d.name == property || std::find(shorthands.begin(), shorthands.end(), d.name) != shorthands.end()) return true;
    }
    return false;
}

std::string setDeclarations(std::string_view s, const Rule& rule, const std::vector<std::string>& properties, const std::string& value) {
    const auto existing = declarations(s, rule);
    struct Edit {
        std::size_t begin, end;
        std::string text;
    };
    std::vector<Edit> edits;
    std::vector<std::string> added;
    for (const auto& property : properties) {
        const Declaration* last = nullptr;
        for (const auto& d : existing) {
            if (d.name == property) last = &d;
            // A longhand written after the shorthand would keep its own value.
            else if (isLonghandOf(d.name, property)) edits.push_back({d.begin, d.end, ""});
        }
        if (last) edits.push_back({last->valueBegin, last->valueEnd, value});
        else added.push_back(property);
    }
    if (!added.empty()) {
        // After the last declaration, on a line of its own when the rule has them on lines.
        std::size_t at = existing.empty() ? rule.open + 1 : existing.back().end;
        std::string indent = " ";
        std::string newline;
        if (!existing.empty()) {
            const std::size_t lineStart = s.rfind('\n', existing.back().begin);
            if (lineStart != std::string_view::npos && lineStart > rule.open) {
                newline = "\n";
                indent = std::string(s.substr(lineStart + 1, existing.back().begin - lineStart - 1));
            }
        } else if (s.substr(rule.open, rule.close - rule.open).find('\n') != std::string_view::npos) {
            newline = "\n";
            indent = "  ";
        }
        std::string insert = !existing.empty() && !existing.back().terminated ? ";" : "";
        for (const auto& property : added) insert += (newline.empty() ? " " : newline + indent) + property + ": " + value + ";";
        if (existing.empty() && newline.empty()) insert += " ";
        edits.push_back({at, at, insert});
    }
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin > b.begin; });
    std::string out(s);
    for (const auto& e : edits) {
        std::size_t begin = e.begin, end = e.end;
        if (e.text.empty() && begin != end) {
            // A dropped declaration takes its line's indent and newline with it.
            while (begin > 0 && (out[begin - 1] == ' ' || out[begin - 1] == '\t')) --begin;
            if (begin > 0 && out[begin - 1] == '\n' && end < out.size() && out[end] == '\n') ++end;
        }
        out.replace(begin, end - begin, e.text);
    }
    return out;
}

std::string ruleText(const std::string& selector, const std::vector<std::string>& properties, const std::string& value) {
    std::string out = selector + " {\n";
    for (const auto& p : properties) out += "  " + p + ": " + value + ";\n";
    return out + "}\n";
}

}  // namespace tarn::style::css
