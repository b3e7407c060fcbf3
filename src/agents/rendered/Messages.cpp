// Message files: the strings an app looks its texts up in (t('hero.title')).
#include "agents/rendered/Rendered.h"
#include "support/Text.h"

#include <algorithm>
#include <cctype>

namespace tarn::rendered {

namespace {

// `digits` hexadecimal digits at `at`, or nothing.
std::optional<char32_t> hexAt(std::string_view raw, std::size_t at, std::size_t digits) {
    if (at + digits > raw.size()) return std::nullopt;
    char32_t value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        const char c = raw[i];
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<char32_t>(d);
    }
    return value;
}

// The text a quoted value holds; nothing for an escape the format does not have, or a character
// it cannot stand for (a lone surrogate).
std::optional<std::string> unescape(std::string_view raw, char quote, bool yaml) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (yaml && quote == '\'') {
            if (c == '\'' && i + 1 < raw.size() && raw[i + 1] == '\'') ++i;
            out += c;
            continue;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= raw.size()) return std::nullopt;
        switch (raw[i]) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': {
                auto unit = hexAt(raw, i + 1, 4);
                if (!unit) return std::nullopt;
                i += 4;
                char32_t code = *unit;
                if (code >= 0xD800 && code <= 0xDBFF) {
                    // JSON writes characters past the first plane as a pair.
                    auto low = raw.substr(i + 1, 2) == "\\u" ? hexAt(raw, i + 3, 4) : std::nullopt;
                    if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
                    code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                    i += 6;
                } else if (code >= 0xDC00 && code <= 0xDFFF) {
                    return std::nullopt;
                }
                text::appendCodePoint(out, code);
                break;
            }
            default:
                if (!yaml) return std::nullopt;
                switch (raw[i]) {
                    case '0': out += '\0'; break;
                    case ' ': out += ' '; break;
                    case '\t': out += '\t'; break;
                    case 'x': {
                        auto code = hexAt(raw, i + 1, 2);
                        if (!code) return std::nullopt;
                        text::appendCodePoint(out, *code);
                        i += 2;
                        break;
                    }
                    default: return std::nullopt;
                }
        }
    }
    return out;
}

std::vector<Message> readJson(std::string_view s) {
    std::vector<Message> found;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '"') continue;
        const std::size_t begin = i + 1;
        std::size_t end = begin;
        while (end < s.size() && s[end] != '"' && s[end] != '\n') end += s[end] == '\\' ? 2 : 1;
        if (end >= s.size() || s[end] != '"') return found;  // unclosed: the file is being edited
        std::size_t next = end + 1;
        while (next < s.size() && std::isspace(static_cast<unsigned char>(s[next]))) ++next;
        const bool key = next < s.size() && s[next] == ':';
        if (!key) {
            if (auto text = unescape(s.substr(begin, end - begin), '"', false)) found.push_back({Literal{begin, end, '"', false}, *text});
        }
        i = end;
    }
    return found;
}

std::vector<Message> readYaml(std::string_view s) {
    std::vector<Message> found;
    std::size_t line = 0;
    while (line < s.size()) {
        std::size_t end = s.find('\n', line);
        if (end == std::string_view::npos) end = s.size();
        std::size_t i = line;
        while (i < end && (s[i] == ' ' || s[i] == '\t')) ++i;
        while (i + 1 < end && s[i] == '-' && s[i + 1] == ' ') {  // list items
            i += 2;
            while (i < end && s[i] == ' ') ++i;
        }
        // After "key: " when the line has one (a key may be quoted).
        std::size_t value = i;
        for (std::size_t j = i; j < end; ++j) {
            if (s[j] == '#' && (j == i || s[j - 1] == ' ')) break;
            if (s[j] == ':' && (j + 1 == end || s[j + 1] == ' ')) {
                value = j + 1;
                break;
            }
            if ((s[j] == '"' || s[j] == '\'') && j == i) break;  // a quoted value, no key
        }
        while (value < end && s[value] == ' ') ++value;
        if (value < end && s[value] != '#') {
            const char first = s[value];
            if (first == '"' || first == '\'') {
                std::size_t close = value + 1;
                while (close < end) {
                    if (first == '"' && s[close] == '\\') {
                        close += 2;
                        continue;
                    }
                    if (s[close] == first) {
                        if (first == '\'' && close + 1 < end && s[close + 1] == '\'') {
                            close += 2;
                            continue;
                        }
                        break;
                    }
                    ++close;
                }
                if (close < end) {
                    if (auto text = unescape(s.substr(value + 1, close - value - 1), first, true)) {
                        found.push_back({Literal{value + 1, close, first, true}, *text});
                    }
                }
            } else if (std::string_view("[{|>&*!%@`").find(first) == std::string_view::npos) {
                std::size_t stop = value;
                while (stop < end && !(s[stop] == '#' && s[stop - 1] == ' ')) ++stop;
                while (stop > value && (s[stop - 1] == ' ' || s[stop - 1] == '\r')) --stop;
                if (stop > value) found.push_back({Literal{value, stop, 0, true}, std::string(s.substr(value, stop - value))});
            }
        }
        line = end + 1;
    }
    return found;
}

// A control character, written as \u00XX in JSON and YAML alike.
bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// Inside double quotes, JSON's or YAML's: quotes, backslashes and control characters escaped.
std::string doubleQuoted(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (isControl(c)) {
                    static const char* digits = "0123456789abcdef";
                    out += "\\u00";
                    out += digits[(c >> 4) & 0xF];
                    out += digits[c & 0xF];
                } else {
                    out += c;
                }
        }
    }
    return out;
}

// Whether YAML reads `text` written plain as exactly that string: nothing that starts a structure
// or a comment, ends a key, is trimmed away, breaks the line, or reads as another type.
bool staysPlain(std::string_view text) {
    if (text.empty() || text.front() == ' ' || text.back() == ' ' || text.back() == ':') return false;
    if (std::string_view("-?:,[]{}#&*!|>'\"%@`").find(text.front()) != std::string_view::npos) return false;
    for (char c : text) {
        if (isControl(c)) return false;  // tabs, line breaks and carriage returns among them
    }
    if (text.find(": ") != std::string_view::npos || text.find(" #") != std::string_view::npos) return false;
    std::string lower;
    for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (std::string_view word : {"true", "false", "yes", "no", "on", "off", "y", "n", "null", "~"}) {
        if (lower == word) return false;
    }
    // Numbers, dates and the like: a loader would not hand the app a string.
    const char first = text.front() == '+' || text.front() == '.' ? (text.size() > 1 ? text[1] : 'x') : text.front();
    return !std::isdigit(static_cast<unsigned char>(first));
}

}  // namespace

std::vector<Message> readMessages(std::string_view source, bool yaml) { return yaml ? readYaml(source) : readJson(source); }

std::optional<std::string> writeMessage(std::string_view source, bool yaml, const Literal& literal, std::string_view text) {
    if (literal.end > source.size() || literal.begin > literal.end) return std::nullopt;
    std::size_t begin = literal.begin, end = literal.end;
    std::string written;
    const bool quoted = literal.quote == '"' || literal.quote == '\'';
    if (!yaml || literal.quote == '"') {
        written = doubleQuoted(text);
    } else if (literal.quote == '\'' &&
               std::none_of(text.begin(), text.end(), [](char c) { return isControl(c) && c != '\t'; })) {
        for (char c : text) written += c == '\'' ? std::string("''") : std::string(1, c);
    } else if (literal.quote == 0 && staysPlain(text)) {
        written = text;
    } else {
        // A style that cannot hold it: double quotes, in place of the value's own.
        if (quoted) {
            if (begin == 0 || end >= source.size()) return std::nullopt;
            --begin;
            ++end;
        }
        written = "\"" + doubleQuoted(text) + "\"";
    }
    std::string edited(source.substr(0, begin));
    edited += written;
    edited += source.substr(end);

    // Read back: the one value changed, to exactly the text, and every other as it was.
    const auto before = readMessages(source, yaml);
    const auto after = readMessages(edited, yaml);
    if (before.size() != after.size()) return std::nullopt;
    bool found = false;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i].literal.begin == literal.begin) {
            found = true;
            if (after[i].text != text) return std::nullopt;
        } else if (after[i].text != before[i].text) {
            return std::nullopt;
        }
    }
    if (!found) return std::nullopt;
    return edited;
}

}  // namespace tarn::rendered
