// Every escaping of text the reader edits: markup of each syntax, template literals, strings.
#include "agents/rendered/Escape.h"

namespace tarn::rendered {

namespace detail {

namespace {

// Markup of the syntax: what would start a tag, a character reference or an expression.
void escapeMarkup(std::string& out, Syntax syntax, char c) {
    switch (syntax) {
        case Syntax::jsx:
            if (c == '{' || c == '}' || c == '<' || c == '>') {
                out += std::string("{'") + c + "'}";
                return;
            }
            break;
        case Syntax::markdown:
            if (c == '<') {
                out += "&lt;";
                return;
            }
            break;
        default:
            if (c == '<') {
                out += "&lt;";
                return;
            }
            if (c == '&') {
                out += "&amp;";
                return;
            }
            if ((syntax == Syntax::svelte || syntax == Syntax::astro || syntax == Syntax::vue) && (c == '{' || c == '}')) {
                out += c == '{' ? "&#123;" : "&#125;";
                return;
            }
    }
    out += c;
}

// Inside a template literal: what would end it or start a value.
bool escapeTemplate(std::string& out, char c) {
    if (c == '\\' || c == '`' || c == '$') {
        out += '\\';
        out += c;
        return true;
    }
    return false;
}

}  // namespace

std::string escapeFor(Syntax syntax, Context context, std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (context) {
            case Context::markup: escapeMarkup(out, syntax, c); break;
            case Context::htmlTemplate:
                // The page reads this template as HTML, whatever the file.
                if (!escapeTemplate(out, c)) escapeMarkup(out, Syntax::html, c);
                break;
            case Context::textTemplate:
                if (!escapeTemplate(out, c)) out += c == '\n' ? std::string("\\n") : std::string(1, c);
                break;
            case Context::quoted:
                if (c == '\\' || c == '"' || c == '\'') out += '\\';
                out += c == '\n' ? std::string("\\n") : std::string(1, c);
                break;
        }
    }
    return out;
}

}  // namespace detail

std::string escapeForLiteral(const Literal& literal, std::string_view text) {
    std::string written;
    for (char c : text) {
        if (c == '\\' || c == literal.quote || (literal.quote == '`' && c == '$')) written += '\\';
        // A line break ends a quoted string; a carriage return in a template would read as a line feed.
        if (c == '\n' && literal.quote != '`') {
            written += "\\n";
        } else if (c == '\r') {
            written += "\\r";
        } else {
            written += c;
        }
    }
    return written;
}

}  // namespace tarn::rendered
