// Markup: HTML and the template languages built on it (JSX, Vue, Svelte, Astro, HTML in template
// literals): text, tags, character references and expressions.
#include "agents/rendered/Reader.h"
#include "support/Text.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace tarn::rendered::detail {

namespace {

const char* const kVoidElements[] = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool isVoid(std::string_view name) {
    return std::any_of(std::begin(kVoidElements), std::end(kVoidElements), [&](const char* v) { return equalsIgnoringCase(name, v); });
}

}  // namespace

// Looked for within ten bytes, so a file full of '&' is still read in one pass.
std::optional<std::pair<char32_t, std::size_t>> entityAt(std::string_view s, std::size_t pos, std::size_t end) {
    static const std::map<std::string, char32_t, std::less<>> named{
        {"amp", '&'},      {"lt", '<'},        {"gt", '>'},        {"quot", '"'},      {"apos", '\''},
        {"nbsp", 0xA0},    {"copy", 0xA9},     {"reg", 0xAE},      {"trade", 0x2122},  {"mdash", 0x2014},
        {"ndash", 0x2013}, {"hellip", 0x2026}, {"laquo", 0xAB},    {"raquo", 0xBB},    {"rarr", 0x2192},
        {"larr", 0x2190},  {"bull", 0x2022},   {"middot", 0xB7},   {"times", 0xD7},    {"deg", 0xB0},
        {"ldquo", 0x201C}, {"rdquo", 0x201D},  {"lsquo", 0x2018},  {"rsquo", 0x2019},  {"euro", 0x20AC},
        {"pound", 0xA3},   {"yen", 0xA5},      {"cent", 0xA2},     {"sect", 0xA7},     {"para", 0xB6},
        {"hearts", 0x2665}, {"check", 0x2713}, {"uarr", 0x2191},   {"darr", 0x2193},   {"iexcl", 0xA1},
        {"iquest", 0xBF},  {"shy", 0xAD},      {"thinsp", 0x2009}, {"ensp", 0x2002},   {"emsp", 0x2003},
    };
    const std::size_t limit = std::min(end, pos + 11);
    std::size_t semicolon = pos + 1;
    while (semicolon < limit && s[semicolon] != ';') ++semicolon;
    if (semicolon >= limit) return std::nullopt;
    std::string_view body = s.substr(pos + 1, semicolon - pos - 1);
    if (body.empty()) return std::nullopt;
    if (body[0] == '#') {
        const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 7) return std::nullopt;
        char32_t value = 0;
        for (char c : digits) {
            const int digit = hex ? (std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                     : std::isxdigit(static_cast<unsigned char>(c)) ? std::tolower(c) - 'a' + 10
                                                                                      : -1)
                                  : (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : -1);
            if (digit < 0) return std::nullopt;
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        }
        if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) value = 0xFFFD;
        return std::make_pair(value, semicolon - pos + 1);
    }
    auto found = named.find(body);
    if (found == named.end()) return std::nullopt;
    return std::make_pair(found->second, semicolon - pos + 1);
}

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' || c == '.'; }

bool Reader::looksLikeTag(std::size_t pos, Dialect d) const {
    const char next = at(pos + 1);
    if (std::isalpha(static_cast<unsigned char>(next)) || next == '/' || next == '!') return true;
    return d == Dialect::jsx && next == '>';
}

void Reader::characters(std::size_t b, std::size_t e, Context context, bool escapes, bool entities) {
    for (std::size_t i = b; i < e;) {
        if (escapes && s_[i] == '\\' && i + 1 < e) {
            // An escape shows the character it escapes (\n a line break, \t a tab).
            auto [c, length] = text::decodeAt(s_, i + 1);
            const char32_t shown = c == 'n' ? U'\n' : c == 't' ? U'\t' : c == 'r' ? U'\r' : c;
            sink_.character(shown, i, i + 1 + length, context);
            i += 1 + length;
            continue;
        }
        if (entities && s_[i] == '&') {
            if (auto entity = entityAt(s_, i, e)) {
                sink_.character(entity->first, i, i + entity->second, context);
                i += entity->second;
                continue;
            }
        }
        auto [c, length] = text::decodeAt(s_, i);
        sink_.character(c, i, i + length, context);
        i += length;
    }
}

void Reader::text(std::size_t b, std::size_t e, Dialect d) {
    if (b >= e) return;
    const auto blank = [&](std::size_t from, std::size_t to, bool lineBreaksToo) {
        for (std::size_t i = from; i < to; ++i) {
            const char c = s_[i];
            if (c != ' ' && c != '\t' && !(lineBreaksToo && (c == '\n' || c == '\r' || c == '\f' || c == '\v'))) return false;
        }
        return true;
    };
    if (d == Dialect::vue && b > 0 && s_[b - 1] == '>' && at(e) == '<' && s_.substr(b, e - b).find('\n') != std::string_view::npos &&
        blank(b, e, true)) {
        return;  // Vue drops white space between elements when it holds a line break
    }
    sink_.newRun();
    const Context context = d == Dialect::htmlTemplate ? Context::htmlTemplate : Context::markup;
    if (d != Dialect::jsx) {
        characters(b, e, context, d == Dialect::htmlTemplate, true);
        return;
    }
    // JSX: lines are trimmed where they meet a line break, empty ones dropped, the rest joined by
    // one space (as the JSX compiler does).
    std::vector<std::pair<std::size_t, std::size_t>> lines;
    std::size_t start = b;
    for (std::size_t i = b; i < e; ++i) {
        if (s_[i] == '\n' || s_[i] == '\r') {
            lines.emplace_back(start, i);
            if (s_[i] == '\r' && i + 1 < e && s_[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    lines.emplace_back(start, e);
    std::size_t lastNonEmpty = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!blank(lines[i].first, lines[i].second, false)) lastNonEmpty = i;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto [lb, le] = lines[i];
        if (i != 0) {
            while (lb < le && (s_[lb] == ' ' || s_[lb] == '\t')) ++lb;
        }
        if (i + 1 != lines.size()) {
            while (le > lb && (s_[le - 1] == ' ' || s_[le - 1] == '\t')) --le;
        }
        if (lb >= le) continue;
        characters(lb, le, context, false, true);
        if (i != lastNonEmpty && i + 1 < lines.size()) {
            // The joining space stands for the line break and the indentation after it.
            std::size_t next = lines[i + 1].first;
            while (next < lines[i + 1].second && (s_[next] == ' ' || s_[next] == '\t')) ++next;
            sink_.character(U' ', le, next, context);
        }
    }
}

Reader::Tag Reader::tag(std::size_t pos, std::size_t end, Dialect d) {
    Tag t;
    std::size_t i = pos + 1;
    t.closing = at(i) == '/';
    if (t.closing) ++i;
    const std::size_t nameStart = i;
    while (i < end && isNameChar(s_[i])) ++i;
    t.name = std::string(s_.substr(nameStart, i - nameStart));
    if (startsAt(pos, "<!")) {
        while (i < end && s_[i] != '>') ++i;
        t.end = std::min(i + 1, end);
        return t;
    }
    // A component's quoted props may hold what it shows; an element's attributes never do.
    const bool component = !t.name.empty() && std::isupper(static_cast<unsigned char>(t.name[0]));
    while (i < end) {
        const char c = s_[i];
        if (c == '"' || c == '\'') {
            std::size_t after = skipString(i, end);
            if (component && after > i + 1 && at(i - 1) == '=' && s_[after - 1] == c) sink_.literal(Literal{i + 1, after - 1, c});
            i = after;
        } else if (c == '{' && (d == Dialect::jsx || d == Dialect::svelte || d == Dialect::astro)) {
            // An attribute's value: code, never page text.
            Sink::Mute mute(sink_, Sink::Mute::What::everything);
            i = script(i + 1, end, d != Dialect::svelte, true, true);
        } else if (d == Dialect::htmlTemplate && c == '$' && at(i + 1) == '{') {
            Sink::Mute mute(sink_, Sink::Mute::What::everything);
            i = script(i + 2, end, syntax_ == Syntax::jsx, true, false);
        } else if (d == Dialect::htmlTemplate && c == '`') {
            t.end = i;  // the template ends inside a tag: stop at the backtick
            return t;
        } else if (c == '/' && at(i + 1) == '>') {
            t.selfClosing = true;
            t.end = i + 2;
            return t;
        } else if (c == '>') {
            t.end = i + 1;
            return t;
        } else {
            ++i;
        }
    }
    t.end = end;
    return t;
}

std::size_t Reader::braces(std::size_t pos, std::size_t end, Dialect d) {
    std::size_t ib = pos + 1;
    while (ib < end && std::isspace(static_cast<unsigned char>(s_[ib]))) ++ib;
    const auto closesAfter = [&](std::size_t i) -> std::optional<std::size_t> {
        while (i < end && std::isspace(static_cast<unsigned char>(s_[i]))) ++i;
        if (at(i) == '}' && i < end) return i + 1;
        return std::nullopt;
    };
    const bool jsx = d != Dialect::svelte;
    if (d == Dialect::svelte && ib < end && std::string_view("#:/@").find(s_[ib]) != std::string_view::npos && !startsAt(ib, "@html")) {
        // A block ({#if}, {:else}, {/each}, {@const}): shows nothing itself.
        Sink::Mute mute(sink_, Sink::Mute::What::everything);
        return script(pos + 1, end, false, true, true);
    }
    if (ib < end && (s_[ib] == '"' || s_[ib] == '\'')) {
        // A lone string shows as its text.
        const std::size_t after = skipString(ib, end);
        if (s_[after - 1] == s_[ib] && after > ib + 1) {
            if (auto close = closesAfter(after)) {
                sink_.newRun();
                characters(ib + 1, after - 1, Context::quoted, true, false);
                return *close;
            }
        }
    } else if (ib < end && s_[ib] == '`') {
        // So does a lone template literal without values.
        std::size_t i = ib + 1;
        while (i < end && s_[i] != '`' && !(s_[i] == '$' && at(i + 1) == '{')) i += s_[i] == '\\' ? 2 : 1;
        if (i < end && s_[i] == '`') {
            if (auto close = closesAfter(i + 1)) {
                sink_.newRun();
                characters(ib + 1, i, Context::textTemplate, true, false);
                return *close;
            }
        }
    }
    // Any other expression stands for its value; what it holds of markup and templates is read
    // now and shown after the tree around it.
    const std::size_t after = script(pos + 1, end, jsx, true, true);
    sink_.expression(pos, after, Context::markup);
    return after;
}

std::size_t Reader::markup(std::size_t pos, std::size_t end, Dialect d, bool element) {
    Depth guard(depth_);
    if (guard.tooDeep()) return skipFlat(pos, end, d == Dialect::htmlTemplate ? '`' : '>');
    int depth = 0;
    std::size_t textStart = pos;
    const auto flush = [&](std::size_t upto) { text(textStart, upto, d); };
    const bool braced = d == Dialect::jsx || d == Dialect::svelte || d == Dialect::astro;
    std::size_t i = pos;
    while (i < end) {
        const char c = s_[i];
        if (d == Dialect::htmlTemplate) {
            if (c == '`') {
                flush(i);
                return i;
            }
            if (c == '\\') {
                i = std::min(i + 2, end);
                continue;
            }
            if (c == '$' && at(i + 1) == '{') {
                flush(i);
                i = textStart = value(i, end, false);
                continue;
            }
        }
        if (c == '<' && startsAt(i, "<!--")) {
            flush(i);
            const std::size_t close = s_.substr(0, end).find("-->", i + 4);
            i = textStart = close == std::string_view::npos ? end : close + 3;
            continue;
        }
        if (c == '<' && looksLikeTag(i, d)) {
            flush(i);
            Tag t = tag(i, end, d);
            if (t.closing) {
                --depth;
                if (element && depth <= 0) return t.end;
            } else if (!t.selfClosing && (d == Dialect::jsx || !isVoid(t.name)) && !startsAt(i, "<!")) {
                if (equalsIgnoringCase(t.name, "script") || equalsIgnoringCase(t.name, "style")) {
                    // Raw text, not shown: to its closing tag (a script's strings are kept).
                    std::size_t close = t.end;
                    while (true) {
                        close = s_.substr(0, end).find("</", close);
                        if (close == std::string_view::npos) {
                            close = end;
                            break;
                        }
                        if (equalsIgnoringCase(s_.substr(close + 2, t.name.size()), t.name)) break;
                        close += 2;
                    }
                    if (equalsIgnoringCase(t.name, "script")) {
                        Sink::Mute mute(sink_, Sink::Mute::What::cells);
                        script(t.end, close, false, false, false);
                    }
                    std::size_t after = close;
                    while (after < end && s_[after] != '>') ++after;
                    t.end = std::min(after + 1, end);
                } else {
                    ++depth;
                }
            } else if (element && depth == 0) {
                return t.end;  // a root that closes itself
            }
            if (d == Dialect::htmlTemplate && at(t.end) == '`') return t.end;
            i = textStart = t.end;
            continue;
        }
        if (c == '{' && braced) {
            flush(i);
            i = textStart = braces(i, end, d);
            continue;
        }
        if (d == Dialect::vue && c == '{' && at(i + 1) == '{') {
            flush(i);
            const std::size_t close = s_.substr(0, end).find("}}", i + 2);
            const std::size_t after = close == std::string_view::npos ? end : close + 2;
            sink_.expression(i, after, Context::markup);
            i = textStart = after;
            continue;
        }
        ++i;
    }
    flush(end);
    return end;
}

}  // namespace tarn::rendered::detail
