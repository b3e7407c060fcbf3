// Message files: the strings an app looks its texts up in (t('hero.title')).
#include "agents/rendered/Rendered.h"

#include <cctype>

namespace tarn::rendered {

namespace {

// The text a quoted value holds, for the usual escapes; none for others (\u and the like).
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
            default: return std::nullopt;
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

}  // namespace

std::vector<Message> readMessages(std::string_view source, bool yaml) { return yaml ? readYaml(source) : readJson(source); }

}  // namespace tarn::rendered
