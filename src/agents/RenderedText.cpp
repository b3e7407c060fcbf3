#include "agents/RenderedText.h"

#include "support/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <map>
#include <unordered_set>

namespace tarn::rendered {

namespace {

// White space as the page's inspector collapses it (JavaScript's \s).
bool isSpace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// One code point at `pos` and its length in bytes; an invalid byte is U+FFFD of length 1.
std::pair<char32_t, std::size_t> decodeAt(std::string_view s, std::size_t pos) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = b(pos);
    if (c < 0x80) return {c, 1};
    std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (length == 0 || pos + length > s.size()) return {0xFFFD, 1};
    char32_t cp = c & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        if ((b(pos + i) & 0xC0) != 0x80) return {0xFFFD, 1};
        cp = (cp << 6) | (b(pos + i) & 0x3F);
    }
    return {cp, length};
}

// An HTML character reference at `pos` ('&'): its character and its length through ';'.
std::optional<std::pair<char32_t, std::size_t>> entityAt(std::string_view s, std::size_t pos) {
    static const std::map<std::string, char32_t, std::less<>> named{
        {"amp", '&'},      {"lt", '<'},        {"gt", '>'},        {"quot", '"'},      {"apos", '\''},
        {"nbsp", 0xA0},    {"copy", 0xA9},     {"reg", 0xAE},      {"trade", 0x2122},  {"mdash", 0x2014},
        {"ndash", 0x2013}, {"hellip", 0x2026}, {"laquo", 0xAB},    {"raquo", 0xBB},    {"rarr", 0x2192},
        {"larr", 0x2190},  {"bull", 0x2022},   {"middot", 0xB7},   {"times", 0xD7},    {"deg", 0xB0},
        {"ldquo", 0x201C}, {"rdquo", 0x201D},  {"lsquo", 0x2018},  {"rsquo", 0x2019},  {"euro", 0x20AC},
    };
    std::size_t semicolon = s.find(';', pos + 1);
    if (semicolon == std::string_view::npos || semicolon - pos > 10) return std::nullopt;
    std::string_view body = s.substr(pos + 1, semicolon - pos - 1);
    if (body.empty()) return std::nullopt;
    if (body[0] == '#') {
        bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        std::string digits(body.substr(hex ? 2 : 1));
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [&](char c) { return hex ? std::isxdigit(c) : std::isdigit(c); })) {
            return std::nullopt;
        }
        return std::make_pair(static_cast<char32_t>(std::stoul(digits, nullptr, hex ? 16 : 10)), semicolon - pos + 1);
    }
    auto found = named.find(body);
    if (found == named.end()) return std::nullopt;
    return std::make_pair(found->second, semicolon - pos + 1);
}

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' || c == '.'; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

const char* const kVoidElements[] = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"};

enum class Dialect { html, jsx, vue, svelte, astro, templateLiteral };

// Where page text sits in its source, for escaping an edit.
enum Context : int { markupText = 0, templateText = 1, quotedText = 2 };

class Projector {
public:
    Projector(std::string_view source, Syntax syntax, std::vector<Cell>* cells, std::vector<Literal>* literals)
        : s_(source), syntax_(syntax), cells_(cells), literals_(literals) {}

    void run() {
        switch (syntax_) {
            case Syntax::jsx: script(0, s_.size(), true); break;
            case Syntax::script: script(0, s_.size(), false); break;
            case Syntax::html: region([&] { markup(0, Dialect::html, false); }); break;
            case Syntax::vue: vue(); break;
            case Syntax::svelte: region([&] { markup(0, Dialect::svelte, false); }); break;
            case Syntax::astro: astro(); break;
            case Syntax::markdown: markdown(); break;
            case Syntax::none: break;
        }
    }

private:
    std::string_view s_;
    Syntax syntax_;
    std::vector<Cell>* cells_;
    std::vector<Literal>* literals_;
    int run_ = 0;
    bool emit_ = true;
    std::vector<std::pair<std::size_t, std::size_t>> deferred_;  // expressions with markup inside

    char at(std::size_t i) const { return i < s_.size() ? s_[i] : '\0'; }
    bool startsAt(std::size_t i, std::string_view what) const { return s_.substr(i, what.size()) == what; }

    // Cells.
    void boundary() {
        if (!cells_ || !emit_) return;
        if (!cells_->empty() && cells_->back().kind == Cell::Kind::boundary) return;
        cells_->push_back(Cell{Cell::Kind::boundary, 0, 0, 0, 0});
    }
    void expression(std::size_t b, std::size_t e, int context = markupText) {
        ++run_;
        if (cells_ && emit_) cells_->push_back(Cell{Cell::Kind::expression, 0, b, e, run_ * 4 + context});
    }
    void character(char32_t c, std::size_t b, std::size_t e, int context) {
        if (!cells_ || !emit_) return;
        if (isSpace(c)) {
            // Runs of white space, across tags too, show as one space; within one run of source
            // text the space stands for all of it.
            if (!cells_->empty() && cells_->back().kind == Cell::Kind::character && cells_->back().ch == U' ') {
                Cell& previous = cells_->back();
                if (previous.end == b && previous.run == run_ * 4 + context) previous.end = e;
                return;
            }
            c = U' ';
        }
        cells_->push_back(Cell{Cell::Kind::character, c, b, e, run_ * 4 + context});
    }
    template <typename F>
    void region(F body) {
        boundary();
        body();
        boundary();
        flushDeferred();
    }
    void flushDeferred() {
        auto pending = std::move(deferred_);
        deferred_.clear();
        for (auto [b, e] : pending) script(b, e, syntax_ != Syntax::svelte);
    }

    // Text between `b` and `e`, as the dialect shows it.
    void text(std::size_t b, std::size_t e, Dialect d) {
        if (b >= e) return;
        if (d == Dialect::vue && b > 0 && s_[b - 1] == '>' && at(e) == '<' && s_.substr(b, e - b).find('\n') != std::string_view::npos &&
            std::all_of(s_.begin() + static_cast<long>(b), s_.begin() + static_cast<long>(e), [](char c) { return std::isspace(static_cast<unsigned char>(c)); })) {
            return;  // Vue drops white space between elements when it holds a line break
        }
        ++run_;
        const int context = d == Dialect::templateLiteral ? templateText : markupText;
        if (d != Dialect::jsx) {
            chars(b, e, context, true);
            return;
        }
        // JSX: lines are trimmed where they meet a line break, empty ones dropped, the rest
        // joined by one space (as the JSX compiler does).
        std::vector<std::pair<std::size_t, std::size_t>> lines;
        std::size_t start = b;
        for (std::size_t i = b; i < e; ++i) {
            if (s_[i] == '\n' || s_[i] == '\r') {
                lines.emplace_back(start, i);
                if (s_[i] == '\r' && at(i + 1) == '\n') ++i;
                start = i + 1;
            }
        }
        lines.emplace_back(start, e);
        auto blank = [&](std::pair<std::size_t, std::size_t> l) {
            for (std::size_t i = l.first; i < l.second; ++i) {
                if (s_[i] != ' ' && s_[i] != '\t') return false;
            }
            return true;
        };
        std::size_t lastNonEmpty = lines.size();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!blank(lines[i])) lastNonEmpty = i;
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
            chars(lb, le, context, true);
            if (i != lastNonEmpty && i + 1 < lines.size()) {
                // The joining space stands for the line break and the indentation after it.
                std::size_t next = lines[i + 1].first;
                while (next < lines[i + 1].second && (s_[next] == ' ' || s_[next] == '\t')) ++next;
                character(U' ', le, next, context);
            }
        }
    }

    void chars(std::size_t b, std::size_t e, int context, bool entities) {
        for (std::size_t i = b; i < e;) {
            if (context == templateText && s_[i] == '\\' && i + 1 < e) {
                // An escape shows the character it escapes (\n a line break).
                auto [c, length] = decodeAt(s_, i + 1);
                character(c == 'n' ? U'\n' : c, i, i + 1 + length, context);
                i += 1 + length;
                continue;
            }
            if (entities && s_[i] == '&') {
                if (auto entity = entityAt(s_, i); entity && i + entity->second <= e) {
                    character(entity->first, i, i + entity->second, context);
                    i += entity->second;
                    continue;
                }
            }
            auto [c, length] = decodeAt(s_, i);
            character(c, i, i + length, context);
            i += length;
        }
    }

    // Skipping code.
    std::size_t skipString(std::size_t pos) const {
        const char quote = s_[pos];
        for (std::size_t i = pos + 1; i < s_.size(); ++i) {
            if (s_[i] == '\\') {
                ++i;
            } else if (s_[i] == quote || (s_[i] == '\n' && quote != '`')) {
                return i + 1;
            }
        }
        return s_.size();
    }
    std::size_t skipComment(std::size_t pos) const {
        if (startsAt(pos, "//")) {
            std::size_t end = s_.find('\n', pos);
            return end == std::string_view::npos ? s_.size() : end;
        }
        std::size_t end = s_.find("*/", pos + 2);
        return end == std::string_view::npos ? s_.size() : end + 2;
    }
    // From '{' to after its '}', through strings, template literals, comments and nested markup.
    std::size_t skipBraces(std::size_t pos) {
        int depth = 0;
        char previous = '{';
        for (std::size_t i = pos; i < s_.size();) {
            const char c = s_[i];
            if (c == '"' || c == '\'') {
                i = skipString(i);
            } else if (c == '`') {
                i = skipTemplate(i);
            } else if (startsAt(i, "//") || startsAt(i, "/*")) {
                i = skipComment(i);
            } else if (c == '<' && jsxCanStart(previous) && looksLikeTag(i, Dialect::jsx)) {
                bool saved = emit_;
                emit_ = false;
                i = markup(i, Dialect::jsx, true);
                emit_ = saved;
                previous = '>';
                continue;
            } else {
                if (c == '{') ++depth;
                if (c == '}' && --depth == 0) return i + 1;
                ++i;
            }
            if (!std::isspace(static_cast<unsigned char>(c))) previous = c;
        }
        return s_.size();
    }
    std::size_t skipTemplate(std::size_t pos) {
        for (std::size_t i = pos + 1; i < s_.size();) {
            if (s_[i] == '\\') {
                i += 2;
            } else if (s_[i] == '`') {
                return i + 1;
            } else if (startsAt(i, "${")) {
                i = skipBraces(i + 1);
            } else {
                ++i;
            }
        }
        return s_.size();
    }

    static bool jsxCanStart(char previous) {
        return std::string_view("(=,?:&|{[;>}!\n").find(previous) != std::string_view::npos || previous == '\0';
    }
    bool looksLikeTag(std::size_t pos, Dialect d) const {
        const char next = at(pos + 1);
        if (std::isalpha(static_cast<unsigned char>(next)) || next == '/' || next == '!') return true;
        return d == Dialect::jsx && next == '>';
    }

    // A tag from '<': its name, whether it closes or closes itself; the position after '>'.
    std::size_t tag(std::size_t pos, Dialect d, std::string& name, bool& closing, bool& selfClosing) {
        std::size_t i = pos + 1;
        closing = at(i) == '/';
        if (closing) ++i;
        std::size_t nameStart = i;
        while (i < s_.size() && isNameChar(s_[i])) ++i;
        name = std::string(s_.substr(nameStart, i - nameStart));
        selfClosing = false;
        if (startsAt(pos, "<!")) {
            std::size_t end = s_.find('>', pos);
            return end == std::string_view::npos ? s_.size() : end + 1;
        }
        // A component's quoted props may hold what it shows; an element's attributes never do.
        const bool component = !name.empty() && std::isupper(static_cast<unsigned char>(name[0]));
        while (i < s_.size()) {
            const char c = s_[i];
            if (c == '"' || c == '\'') {
                std::size_t after = skipString(i);
                if (component && literals_ && after > i + 1 && at(i - 1) == '=') literals_->push_back(Literal{i + 1, after - 1, c});
                i = after;
            } else if (c == '{' && (d == Dialect::jsx || d == Dialect::svelte || d == Dialect::astro)) {
                i = skipBraces(i);
            } else if (d == Dialect::templateLiteral && startsAt(i, "${")) {
                i = skipBraces(i + 1);
            } else if (d == Dialect::templateLiteral && c == '`') {
                return i;  // the template ends inside a tag: stop at the backtick
            } else if (c == '/' && at(i + 1) == '>') {
                selfClosing = true;
                return i + 2;
            } else if (c == '>') {
                return i + 1;
            } else {
                ++i;
            }
        }
        return s_.size();
    }

    // Markup from `pos`: text, tags and expressions. In element mode it starts at a tag and ends
    // when that element closes; a template literal ends at its closing backtick (returned there).
    std::size_t markup(std::size_t pos, Dialect d, bool element) {
        int depth = 0;
        std::size_t textStart = pos;
        auto flush = [&](std::size_t end) { text(textStart, end, d); };
        std::size_t i = pos;
        while (i < s_.size()) {
            const char c = s_[i];
            if (d == Dialect::templateLiteral) {
                if (c == '`') {
                    flush(i);
                    return i;
                }
                if (c == '\\') {
                    i += 2;
                    continue;
                }
                if (startsAt(i, "${")) {
                    flush(i);
                    std::size_t end = skipBraces(i + 1);
                    expression(i, end, templateText);
                    i = textStart = end;
                    continue;
                }
            }
            if (c == '<' && startsAt(i, "<!--")) {
                flush(i);
                std::size_t end = s_.find("-->", i + 4);
                i = textStart = end == std::string_view::npos ? s_.size() : end + 3;
                continue;
            }
            if (c == '<' && looksLikeTag(i, d)) {
                flush(i);
                std::string name;
                bool closing = false, selfClosing = false;
                std::size_t end = tag(i, d, name, closing, selfClosing);
                bool isVoid = d != Dialect::jsx && std::any_of(std::begin(kVoidElements), std::end(kVoidElements),
                                                               [&](const char* v) { return equalsIgnoringCase(name, v); });
                if (closing) {
                    --depth;
                    if (element && depth <= 0) return end;
                } else if (!selfClosing && !isVoid && !startsAt(i, "<!")) {
                    if (equalsIgnoringCase(name, "script") || equalsIgnoringCase(name, "style")) {
                        // Raw text: not shown (a script's string literals are read for their values).
                        std::size_t close = end;
                        while (close < s_.size()) {
                            close = s_.find("</", close);
                            if (close == std::string_view::npos) {
                                close = s_.size();
                                break;
                            }
                            if (equalsIgnoringCase(s_.substr(close + 2, name.size()), name)) break;
                            close += 2;
                        }
                        if (equalsIgnoringCase(name, "script") && literals_) {
                            bool saved = emit_;
                            emit_ = false;
                            script(end, close, false);
                            emit_ = saved;
                        }
                        std::size_t after = s_.find('>', close);
                        end = after == std::string_view::npos ? s_.size() : after + 1;
                    } else {
                        ++depth;
                    }
                } else if (element && depth == 0) {
                    return end;  // a self-closing root
                }
                if (d == Dialect::templateLiteral && at(end) == '`') return end;
                i = textStart = end;
                continue;
            }
            if (c == '{' && (d == Dialect::jsx || d == Dialect::svelte || d == Dialect::astro)) {
                flush(i);
                std::size_t end = skipBraces(i);
                braces(i, end, d);
                i = textStart = end;
                continue;
            }
            if (d == Dialect::vue && startsAt(i, "{{")) {
                flush(i);
                std::size_t close = s_.find("}}", i + 2);
                std::size_t end = close == std::string_view::npos ? s_.size() : close + 2;
                expression(i, end);
                i = textStart = end;
                continue;
            }
            ++i;
        }
        flush(s_.size());
        return s_.size();
    }

    // An expression in markup: a string shows as its text; Svelte's blocks show nothing; others
    // stand for their value, and any markup inside them is read on its own afterwards.
    void braces(std::size_t b, std::size_t e, Dialect d) {
        std::size_t ib = b + 1, ie = e > b + 1 ? e - 1 : e;
        while (ib < ie && std::isspace(static_cast<unsigned char>(s_[ib]))) ++ib;
        while (ie > ib && std::isspace(static_cast<unsigned char>(s_[ie - 1]))) --ie;
        if (d == Dialect::svelte && ib < ie && std::string_view("#:/@").find(s_[ib]) != std::string_view::npos) {
            if (!startsAt(ib, "@html")) return;
        }
        if (ib < ie && (s_[ib] == '"' || s_[ib] == '\'') && skipString(ib) == ie) {
            ++run_;
            chars(ib + 1, ie - 1, quotedText, false);
            return;
        }
        if (ib < ie && s_[ib] == '`' && skipTemplate(ib) == ie && s_.substr(ib, ie - ib).find("${") == std::string_view::npos) {
            ++run_;
            chars(ib + 1, ie - 1, templateText, false);
            return;
        }
        expression(b, e);
        if (d != Dialect::svelte && s_.substr(b, e - b).find('<') != std::string_view::npos) {
            deferred_.emplace_back(ib, ie);
        } else if (literals_) {
            bool saved = emit_;
            emit_ = false;
            script(ib, ie, false);
            emit_ = saved;
        }
    }

    // Code: only its template literals and (in JSX files) its element trees are page text.
    void script(std::size_t pos, std::size_t end, bool jsx) {
        char previous = '\0';
        std::string word;
        std::string lastWord;
        for (std::size_t i = pos; i < end;) {
            const char c = s_[i];
            if (startsAt(i, "//") || startsAt(i, "/*")) {
                i = skipComment(i);
                continue;
            }
            if (c == '"' || c == '\'') {
                std::size_t after = skipString(i);
                literal(i, after, previous, word.empty() ? lastWord : word);
                i = after;
                previous = c;
                continue;
            }
            if (c == '`') {
                std::size_t close;
                region([&] { close = markup(i + 1, Dialect::templateLiteral, false); });
                if (literals_ && s_.substr(i, close - i).find("${") == std::string_view::npos) {
                    literals_->push_back(Literal{i + 1, close, '`'});
                }
                i = close < s_.size() ? close + 1 : close;
                previous = '`';
                continue;
            }
            if (c == '/' && std::string_view("(,=:[!&|?{};").find(previous) != std::string_view::npos) {
                // A regular expression: to its closing slash, outside character classes.
                bool inClass = false;
                std::size_t j = i + 1;
                for (; j < end && s_[j] != '\n'; ++j) {
                    if (s_[j] == '\\') {
                        ++j;
                    } else if (s_[j] == '[') {
                        inClass = true;
                    } else if (s_[j] == ']') {
                        inClass = false;
                    } else if (s_[j] == '/' && !inClass) {
                        break;
                    }
                }
                i = j + 1;
                previous = '/';
                continue;
            }
            if (jsx && c == '<' && (jsxCanStart(previous) || word == "return" || lastWord == "return") && looksLikeTag(i, Dialect::jsx)) {
                std::size_t after;
                region([&] { after = markup(i, Dialect::jsx, true); });
                i = after;
                previous = '>';
                word.clear();
                continue;
            }
            if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$') {
                word += c;
            } else if (!word.empty()) {
                lastWord = word;
                word.clear();
            }
            if (!std::isspace(static_cast<unsigned char>(c))) {
                previous = c;
                if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '$') lastWord.clear();
            } else if (c == '\n' && previous != '\0' && std::string_view(";{}").find(previous) != std::string_view::npos) {
                previous = '\n';
            }
            ++i;
        }
    }

    // A string literal of the code, unless it names a module or keys an object.
    void literal(std::size_t b, std::size_t e, char previous, const std::string& before) {
        if (!literals_ || e < b + 2) return;
        if (before == "from" || before == "import" || before == "require") return;
        std::size_t next = e;
        while (next < s_.size() && std::isspace(static_cast<unsigned char>(s_[next]))) ++next;
        if (at(next) == ':' && (previous == '{' || previous == ',')) return;
        literals_->push_back(Literal{b + 1, e - 1, s_[b]});
    }

    void vue() {
        // The top-level <template> block is the page; the script's literals may hold its text.
        std::size_t open = s_.find("<template");
        if (open == std::string_view::npos) return;
        std::size_t contentStart = s_.find('>', open);
        if (contentStart == std::string_view::npos) return;
        ++contentStart;
        int depth = 1;
        std::size_t i = contentStart, contentEnd = s_.size();
        while (i < s_.size()) {
            std::size_t nextOpen = s_.find("<template", i), nextClose = s_.find("</template", i);
            if (nextClose == std::string_view::npos) break;
            if (nextOpen != std::string_view::npos && nextOpen < nextClose) {
                ++depth;
                i = nextOpen + 9;
            } else {
                if (--depth == 0) {
                    contentEnd = nextClose;
                    break;
                }
                i = nextClose + 10;
            }
        }
        std::string_view whole = s_;
        s_ = whole.substr(0, contentEnd);
        region([&] { markup(contentStart, Dialect::vue, false); });
        s_ = whole;
        for (std::size_t at = s_.find("<script"); at != std::string_view::npos; at = s_.find("<script", at + 7)) {
            std::size_t begin = s_.find('>', at);
            std::size_t close = s_.find("</script", at);
            if (begin == std::string_view::npos || close == std::string_view::npos) break;
            bool saved = emit_;
            emit_ = false;
            script(begin + 1, close, false);
            emit_ = saved;
        }
    }

    void astro() {
        std::size_t start = 0;
        if (startsAt(0, "---")) {
            std::size_t close = s_.find("\n---", 3);
            if (close != std::string_view::npos) {
                bool saved = emit_;
                emit_ = false;
                script(3, close, false);
                emit_ = saved;
                start = close + 4;
            }
        }
        region([&] { markup(start, Dialect::astro, false); });
    }

    // Markdown: each line's words, without the marks that format them; links show their text.
    void markdown() {
        boundary();
        bool fenced = false;
        std::size_t line = 0;
        while (line < s_.size()) {
            std::size_t next = s_.find('\n', line);
            if (next == std::string_view::npos) next = s_.size();
            std::string_view content = s_.substr(line, next - line);
            if (content.starts_with("```")) fenced = !fenced;
            bool code = fenced || content.starts_with("```") || content.starts_with("import ") || content.starts_with("export ");
            if (!code) {
                std::size_t i = line;
                while (i < next && (s_[i] == '#' || s_[i] == '>' || s_[i] == ' ' || s_[i] == '-' || s_[i] == '*')) ++i;
                ++run_;
                while (i < next) {
                    char c = s_[i];
                    if (c == '*' || c == '_' || c == '`' || c == '[') {
                        ++i;
                        continue;
                    }
                    if (c == ']' && at(i + 1) == '(') {
                        std::size_t close = s_.find(')', i);
                        i = close == std::string_view::npos || close > next ? next : close + 1;
                        ++run_;
                        continue;
                    }
                    auto [cp, length] = decodeAt(s_, i);
                    character(cp, i, i + length, markupText);
                    i += length;
                }
                character(U' ', next, std::min(next + 1, s_.size()), markupText);
            } else {
                boundary();
            }
            line = next + 1;
        }
        boundary();
    }
};

}  // namespace

Syntax syntaxFor(std::string_view extension) {
    std::string ext;
    for (char c : extension) {
        if (c != '.') ext += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (ext == "tsx" || ext == "jsx" || ext == "js" || ext == "mjs") return Syntax::jsx;
    if (ext == "ts" || ext == "mts") return Syntax::script;
    if (ext == "html" || ext == "htm") return Syntax::html;
    if (ext == "vue") return Syntax::vue;
    if (ext == "svelte") return Syntax::svelte;
    if (ext == "astro") return Syntax::astro;
    if (ext == "md" || ext == "mdx") return Syntax::markdown;
    return Syntax::none;
}

std::vector<Cell> project(std::string_view source, Syntax syntax) {
    std::vector<Cell> cells;
    Projector(source, syntax, &cells, nullptr).run();
    return cells;
}

std::vector<Literal> stringLiterals(std::string_view source, Syntax syntax) {
    std::vector<Literal> literals;
    Projector(source, syntax, nullptr, &literals).run();
    return literals;
}

std::u32string normalize(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        auto [c, length] = decodeAt(text, i);
        i += length;
        if (isSpace(c)) {
            if (!out.empty() && out.back() != U' ') out += U' ';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == U' ') out.pop_back();
    return out;
}

std::vector<Match> find(const std::vector<Cell>& cells, const std::u32string& text) {
    std::vector<Match> matches;
    if (text.empty()) return matches;
    std::vector<std::size_t> cellOf(text.size());
    std::unordered_set<std::uint64_t> failed;
    // Matches text[i..] against cells[k..]; an expression takes any number of characters.
    std::function<bool(std::size_t, std::size_t)> from = [&](std::size_t i, std::size_t k) -> bool {
        if (i == text.size()) return true;
        if (k >= cells.size()) return false;
        const std::uint64_t key = (static_cast<std::uint64_t>(k) << 16) | i;
        if (failed.count(key)) return false;
        const Cell& cell = cells[k];
        bool ok = false;
        if (cell.kind == Cell::Kind::character) {
            if (cell.ch == text[i]) {
                cellOf[i] = k;
                ok = from(i + 1, k + 1);
            }
        } else if (cell.kind == Cell::Kind::expression) {
            // The longest value first: an expression stands for what is shown where it is, not
            // for nothing while a later one takes its text.
            for (std::size_t j = text.size() - i + 1; !ok && j-- > 0;) {
                for (std::size_t t = i; t < i + j; ++t) cellOf[t] = k;
                ok = from(i + j, k + 1);
            }
        }
        if (!ok) failed.insert(key);
        return ok;
    };
    std::size_t coveredUntil = 0;
    for (std::size_t start = 0; start < cells.size(); ++start) {
        const Cell& cell = cells[start];
        if (cell.kind == Cell::Kind::boundary) continue;
        if (cell.kind == Cell::Kind::character && cell.ch != text[0]) continue;
        if (start < coveredUntil && cell.kind == Cell::Kind::expression) continue;
        failed.clear();
        if (!from(0, start)) continue;
        // An expression that rendered nothing at the start gives the same match as the cell after it.
        if (!matches.empty() && matches.back().cellOf == cellOf) continue;
        matches.push_back(Match{cellOf});
        coveredUntil = cellOf.back() + 1;
    }
    return matches;
}

namespace {

// `text` written so that `syntax` shows it as it is (escaping what would be markup).
std::string escapeFor(Syntax syntax, std::string_view text, bool inTemplateLiteral) {
    std::string out;
    for (char c : text) {
        if (inTemplateLiteral) {
            if (c == '\\' || c == '`') {
                out += '\\';
                out += c;
                continue;
            }
            if (c == '$') {
                out += "\\$";
                continue;
            }
        }
        // A template literal's HTML is read by the page as HTML, whatever the file.
        switch (inTemplateLiteral ? Syntax::html : syntax) {
            case Syntax::jsx:
                if (c == '{' || c == '}' || c == '<' || c == '>') {
                    out += std::string("{'") + c + "'}";
                    continue;
                }
                break;
            case Syntax::markdown:
                if (c == '<') {
                    out += "&lt;";
                    continue;
                }
                break;
            default:
                if (c == '<') {
                    out += "&lt;";
                    continue;
                }
                if (c == '&') {
                    out += "&amp;";
                    continue;
                }
                if ((syntax == Syntax::svelte || syntax == Syntax::astro || syntax == Syntax::vue) && (c == '{' || c == '}')) {
                    out += c == '{' ? "&#123;" : "&#125;";
                    continue;
                }
        }
        out += c;
    }
    return out;
}

}  // namespace

Edit applyEdit(std::string_view source, Syntax syntax, const std::vector<Cell>& cells, const Match& match,
               const std::u32string& oldText, const std::string& newText) {
    Edit result;
    const std::u32string replacement = [&] {
        std::u32string out;
        for (std::size_t i = 0; i < newText.size();) {
            auto [c, length] = decodeAt(newText, i);
            out += c;
            i += length;
        }
        return out;
    }();
    // Words and the spaces between them, so a change stays within the words it touches.
    auto tokens = [](const std::u32string& t) {
        std::vector<std::u32string> out;
        for (std::size_t i = 0; i < t.size();) {
            std::size_t j = i + 1;
            const bool space = isSpace(t[i]);
            while (j < t.size() && isSpace(t[j]) == space && !space) ++j;
            out.push_back(t.substr(i, j - i));
            i = j;
        }
        return out;
    };
    const auto a = tokens(oldText), b = tokens(replacement);
    std::vector<std::vector<int>> lcs(a.size() + 1, std::vector<int>(b.size() + 1, 0));
    for (std::size_t i = a.size(); i-- > 0;) {
        for (std::size_t j = b.size(); j-- > 0;) {
            lcs[i][j] = a[i] == b[j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
        }
    }
    struct Hunk {
        std::size_t from, to;  // characters of the old text
        std::u32string with;
    };
    std::vector<Hunk> hunks;
    std::size_t i = 0, j = 0, position = 0;
    std::optional<Hunk> open;
    auto close = [&] {
        if (open) hunks.push_back(*open);
        open.reset();
    };
    while (i < a.size() || j < b.size()) {
        if (i < a.size() && j < b.size() && a[i] == b[j]) {
            close();
            position += a[i].size();
            ++i;
            ++j;
        } else if (j < b.size() && (i == a.size() || lcs[i][j + 1] >= lcs[i + 1][j])) {
            if (!open) open = Hunk{position, position, {}};
            open->with += b[j++];
        } else {
            if (!open) open = Hunk{position, position, {}};
            position += a[i].size();
            open->to = position;
            ++i;
        }
    }
    close();

    struct Change {
        std::size_t begin, end;
        std::string text;
    };
    std::vector<Change> changes;
    for (const Hunk& hunk : hunks) {
        std::size_t begin, end;
        int run;
        if (hunk.from == hunk.to) {
            // An insertion goes after the character before it, or before the one after it; next
            // to an expression it goes outside it, leaving its value alone.
            const Cell* anchor = nullptr;
            bool after = false;
            const Cell* before = hunk.from > 0 ? &cells[match.cellOf[hunk.from - 1]] : nullptr;
            const Cell* next = hunk.from < oldText.size() ? &cells[match.cellOf[hunk.from]] : nullptr;
            if (before && before->kind == Cell::Kind::character) {
                anchor = before;
                after = true;
            } else if (next && next->kind == Cell::Kind::character) {
                anchor = next;
            } else if (before) {
                anchor = before;
                after = true;
            } else if (next) {
                anchor = next;
            }
            if (!anchor) {
                result.refusal = Refusal::changesValue;
                return result;
            }
            begin = end = after ? anchor->end : anchor->begin;
            run = anchor->run;
        } else {
            const Cell& first = cells[match.cellOf[hunk.from]];
            run = first.run;
            begin = first.begin;
            end = first.end;
            for (std::size_t k = hunk.from; k < hunk.to; ++k) {
                const Cell& cell = cells[match.cellOf[k]];
                if (cell.kind != Cell::Kind::character) {
                    result.refusal = Refusal::changesValue;
                    return result;
                }
                if (cell.run != run) {
                    result.refusal = Refusal::crossesMarkup;
                    return result;
                }
                begin = std::min(begin, cell.begin);
                end = std::max(end, cell.end);
            }
        }
        std::string with;
        for (char32_t c : hunk.with) text::appendCodePoint(with, c);
        const int context = run % 4;
        std::string written = escapeFor(syntax, with, context == templateText);
        if (context == quotedText) {
            written.clear();
            for (char c : with) {
                if (c == '\\' || c == '"' || c == '\'') written += '\\';
                written += c;
            }
        }
        changes.push_back(Change{begin, end, written});
    }
    std::sort(changes.begin(), changes.end(), [](const Change& x, const Change& y) { return x.begin > y.begin; });
    std::string edited(source);
    std::size_t limit = std::string::npos;
    for (const Change& change : changes) {
        if (change.end > limit) {
            result.refusal = Refusal::crossesMarkup;
            return result;
        }
        edited.replace(change.begin, change.end - change.begin, change.text);
        limit = change.begin;
    }
    // The edited file must show the new text, or it is not written.
    const std::u32string shown = normalize(newText);
    if (!shown.empty() && find(project(edited, syntax), shown).empty()) {
        result.refusal = Refusal::unchecked;
        return result;
    }
    result.source = std::move(edited);
    return result;
}

std::string escapeForLiteral(const Literal& literal, std::string_view text) {
    std::string written;
    for (char c : text) {
        if (c == '\\' || c == literal.quote || (literal.quote == '`' && c == '$')) written += '\\';
        if (c == '\n' && literal.quote != '`') {
            written += "\\n";
            continue;
        }
        written += c;
    }
    return written;
}

}  // namespace tarn::rendered
