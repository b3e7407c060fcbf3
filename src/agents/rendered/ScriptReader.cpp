// Code: strings, template literals, JSX element trees, comments and regular expressions.
#include "agents/rendered/Reader.h"

#include <algorithm>
#include <cctype>

namespace tarn::rendered::detail {

namespace {

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

// Where an element tree may begin after this character (or at the start).
bool jsxCanStart(char previous) {
    return previous == '\0' || std::string_view("(=,?:&|{[;>}!\n").find(previous) != std::string_view::npos;
}

// Tags of template literals that hold a style sheet or a query.
bool isStyleOrQueryTag(const std::string& tag) {
    for (const char* known : {"css", "keyframes", "injectGlobal", "createGlobalStyle", "gql", "graphql", "sql"}) {
        if (tag == known) return true;
    }
    return false;
}

}  // namespace

std::size_t Reader::skipString(std::size_t pos, std::size_t end) const {
    const char quote = s_[pos];
    for (std::size_t i = pos + 1; i < end; ++i) {
        if (s_[i] == '\\') {
            ++i;
        } else if (s_[i] == quote || (s_[i] == '\n' && quote != '`')) {
            return i + 1;
        }
    }
    return end;
}

std::size_t Reader::skipComment(std::size_t pos, std::size_t end) const {
    const std::string_view within = s_.substr(0, end);
    if (startsAt(pos, "//")) {
        std::size_t close = within.find('\n', pos);
        return close == std::string_view::npos ? end : close;
    }
    std::size_t close = within.find("*/", pos + 2);
    return close == std::string_view::npos ? end : close + 2;
}

std::size_t Reader::skipFlat(std::size_t pos, std::size_t end, char closer) const {
    int depth = 0;
    for (std::size_t i = pos; i < end; ++i) {
        const char c = s_[i];
        if (c == '\\') {
            ++i;
        } else if (closer == '}' && (c == '"' || c == '\'')) {
            i = skipString(i, end) - 1;
        } else if (c == '{' && closer == '}') {
            ++depth;
        } else if (c == closer && depth-- == 0) {
            return closer == '`' ? i : i + 1;
        }
    }
    return end;
}

void Reader::literal(std::size_t b, std::size_t e, char previous, const std::string& before) {
    if (e < b + 2) return;
    if (before == "from" || before == "import" || before == "require") return;
    std::size_t next = e;
    while (next < s_.size() && std::isspace(static_cast<unsigned char>(s_[next]))) ++next;
    if (at(next) == ':' && (previous == '{' || previous == ',')) return;
    sink_.literal(Literal{b + 1, e - 1, s_[b]});
}

std::size_t Reader::element(std::size_t pos, std::size_t end) {
    sink_.open();
    std::size_t after = markup(pos, end, Dialect::jsx, true);
    sink_.close();
    return after;
}

std::size_t Reader::templateLiteral(std::size_t pos, std::size_t end, bool asText) {
    Depth depth(depth_);
    if (depth.tooDeep()) {
        std::size_t close = skipFlat(pos + 1, end, '`');
        return close < end ? close + 1 : close;
    }
    const std::size_t valuesBefore = values_;
    sink_.open();
    const std::size_t close = asText ? textTemplate(pos + 1, end) : markup(pos + 1, end, Dialect::htmlTemplate, false);
    sink_.close();
    // Without a value the whole literal is a string that may hold what the page shows.
    if (values_ == valuesBefore) sink_.literal(Literal{pos + 1, close, '`'});
    return close < end ? close + 1 : close;
}

std::size_t Reader::textTemplate(std::size_t pos, std::size_t end) {
    sink_.newRun();
    std::size_t runStart = pos;
    std::size_t i = pos;
    auto flush = [&](std::size_t upto) {
        characters(runStart, upto, Context::textTemplate, true, false);
    };
    while (i < end) {
        const char c = s_[i];
        if (c == '`') break;
        if (c == '\\') {
            i = std::min(i + 2, end);
            continue;
        }
        if (c == '$' && at(i + 1) == '{') {
            flush(i);
            i = runStart = value(i, end, true);
            sink_.newRun();
            continue;
        }
        ++i;
    }
    flush(i);
    return i;
}

std::size_t Reader::value(std::size_t pos, std::size_t end, bool textTemplates) {
    ++values_;
    const std::size_t after = script(pos + 2, end, syntax_ == Syntax::jsx, true, textTemplates);
    sink_.expression(pos, after, textTemplates ? Context::textTemplate : Context::htmlTemplate);
    return after;
}

std::size_t Reader::script(std::size_t pos, std::size_t end, bool jsx, bool untilBrace, bool textTemplates) {
    Depth depth(depth_);
    if (depth.tooDeep()) return untilBrace ? skipFlat(pos, end, '}') : end;
    char previous = '\0';
    std::string word, lastWord;
    int braces = 0;
    for (std::size_t i = pos; i < end;) {
        const char c = s_[i];
        if (c == '/' && (at(i + 1) == '/' || at(i + 1) == '*')) {
            i = skipComment(i, end);
            continue;
        }
        if (c == '"' || c == '\'') {
            std::size_t after = skipString(i, end);
            literal(i, after, previous, word.empty() ? lastWord : word);
            i = after;
            previous = c;
            continue;
        }
        if (c == '`') {
            const std::string& tag = word.empty() ? lastWord : word;
            if (isStyleOrQueryTag(tag)) {
                // css`...`, gql`...`: a style sheet or a query, never page text.
                Sink::Mute mute(sink_, Sink::Mute::What::everything);
                i = templateLiteral(i, end, true);
            } else {
                i = templateLiteral(i, end, textTemplates);
            }
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
            i = std::min(j + 1, end);
            previous = '/';
            continue;
        }
        if (jsx && c == '<' && (jsxCanStart(previous) || word == "return" || lastWord == "return") &&
            looksLikeTag(i, Dialect::jsx)) {
            i = element(i, end);
            previous = '>';
            word.clear();
            continue;
        }
        if (untilBrace) {
            if (c == '{') {
                ++braces;
            } else if (c == '}' && braces-- == 0) {
                return i + 1;
            }
        }
        if (isWordChar(c)) {
            word += c;
        } else if (!word.empty()) {
            lastWord = std::move(word);
            word.clear();
        }
        if (!std::isspace(static_cast<unsigned char>(c))) {
            previous = c;
            if (!isWordChar(c)) lastWord.clear();
        } else if (c == '\n' && previous != '\0' && std::string_view(";{}").find(previous) != std::string_view::npos) {
            previous = '\n';
        }
        ++i;
    }
    return end;
}

}  // namespace tarn::rendered::detail
