#include "support/Text.h"

#include "support/Translate.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace tarn::text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// One sequence at `i` (not ASCII): its code point, its length, and whether it is complete and
// valid; an invalid one has the length of its maximal valid prefix (at least 1).
struct Sequence {
    char32_t cp;
    std::size_t length;
    bool valid, complete;
};
Sequence sequenceAt(const unsigned char* p, std::size_t n, std::size_t i) {
    const unsigned char b0 = p[i];
    int need;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) need = 1;
    else if (b0 == 0xE0) { need = 2; lo = 0xA0; }
    else if (b0 >= 0xE1 && b0 <= 0xEC) need = 2;
    else if (b0 == 0xED) { need = 2; hi = 0x9F; }
    else if (b0 >= 0xEE && b0 <= 0xEF) need = 2;
    else if (b0 == 0xF0) { need = 3; lo = 0x90; }
    else if (b0 >= 0xF1 && b0 <= 0xF3) need = 3;
    else if (b0 == 0xF4) { need = 3; hi = 0x8F; }
    else return {kReplacement, 1, false, true};
    char32_t cp = b0 & (0x3F >> need);
    std::size_t k = 1;
    for (; k <= static_cast<std::size_t>(need); ++k) {
        if (i + k >= n) return {kReplacement, k, true, false};
        const unsigned char b = p[i + k];
        const unsigned char l = (k == 1) ? lo : 0x80, h = (k == 1) ? hi : 0xBF;
        if (b < l || b > h) return {kReplacement, k, false, true};
        cp = (cp << 6) | (b & 0x3F);
    }
    return {cp, k, true, true};
}

// Decodes as much of `data` as possible. When `final` is false an incomplete but so far valid
// sequence at the very end is left unconsumed. Returns the number of bytes consumed.
std::size_t decodeInto(std::string& out, std::string_view data, bool final) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    const std::size_t n = data.size();
    std::size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            // Fast path for runs of ASCII.
            std::size_t j = i;
            while (j < n && p[j] < 0x80) ++j;
            out.append(data.data() + i, j - i);
            i = j;
            continue;
        }
        const Sequence seq = sequenceAt(p, n, i);
        if (seq.valid && !seq.complete && !final) return i;  // incomplete at the end: keep for the next chunk
        // An invalid sequence's maximal valid prefix becomes one replacement character.
        appendCodePoint(out, seq.valid && seq.complete ? seq.cp : kReplacement);
        i += seq.length;
    }
    return n;
}


// Walks the code points of valid UTF-8, giving each one with its byte range.
template <typename F>
void forEachCodePoint(std::string_view s, F&& f) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char b0 = p[i];
        std::size_t len = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
        if (i + len > s.size()) len = s.size() - i;
        char32_t cp = len == 1 ? b0 : (b0 & (0x7F >> len));
        for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
        if (!f(cp, i, len)) return;
        i += len;
    }
}

}  // namespace

CodePointAt decodeAt(std::string_view s, std::size_t pos) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    if (p[pos] < 0x80) return {p[pos], 1};
    const Sequence seq = sequenceAt(p, s.size(), pos);
    return {seq.valid && seq.complete ? seq.cp : kReplacement, seq.length};
}

std::u32string toCodePoints(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        auto [c, length] = decodeAt(s, i);
        out += c;
        i += length;
    }
    return out;
}

void appendCodePoint(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool isValidUtf8(std::string_view bytes) {
    // Cheap for the usual all-ASCII text; a replacement character means an invalid sequence.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return true;
    std::string decoded = decodeUtf8Lossy(bytes);
    return decoded.size() == bytes.size() && decoded == bytes;
}

std::string decodeUtf8Lossy(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    decodeInto(out, bytes, true);
    return out;
}

std::string Utf8StreamDecoder::feed(std::string_view bytes) {
    std::string out;
    if (pending_.empty()) {
        std::size_t used = decodeInto(out, bytes, false);
        pending_.assign(bytes.substr(used));
        return out;
    }
    std::string data = std::move(pending_);
    data.append(bytes);
    std::size_t used = decodeInto(out, data, false);
    pending_ = data.substr(used);
    return out;
}

std::string Utf8StreamDecoder::finish() {
    std::string out;
    decodeInto(out, pending_, true);
    pending_.clear();
    return out;
}

bool isNewline(char32_t c) {
    return c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029;
}

namespace {

// Unicode's White_Space property, which is fixed and short (ICU's u_isUWhiteSpace).
bool isWhiteSpace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace

std::string trim(std::string_view s) {
    std::size_t begin = std::string_view::npos, end = 0;
    forEachCodePoint(s, [&](char32_t c, std::size_t at, std::size_t len) {
        if (!isWhiteSpace(c)) {
            if (begin == std::string_view::npos) begin = at;
            end = at + len;
        }
        return true;
    });
    if (begin == std::string_view::npos) return {};
    return std::string(s.substr(begin, end - begin));
}

std::string trimSpacesAndTabs(std::string_view s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    std::size_t e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

std::vector<std::string> splitNewlines(std::string_view s) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    forEachCodePoint(s, [&](char32_t c, std::size_t at, std::size_t len) {
        if (isNewline(c)) {
            pieces.emplace_back(s.substr(start, at - start));
            start = at + len;
        }
        return true;
    });
    pieces.emplace_back(s.substr(start));
    return pieces;
}

std::vector<std::string> splitLines(std::string_view s) {
    std::vector<std::string> lines;
    for (auto& piece : splitNewlines(s)) {
        if (!piece.empty()) lines.push_back(std::move(piece));
    }
    return lines;
}

std::vector<std::string> split(std::string_view s, char separator, bool dropEmpty) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t at = s.find(separator, start);
        std::string_view piece = s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start);
        if (!dropEmpty || !piece.empty()) parts.emplace_back(piece);
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    return parts;
}

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out.append(separator);
        out.append(parts[i]);
    }
    return out;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

std::string replaceAll(std::string s, std::string_view from, std::string_view to) {
    if (from.empty()) return s;
    std::size_t at = 0;
    while ((at = s.find(from, at)) != std::string::npos) {
        s.replace(at, from.size(), to);
        at += to.size();
    }
    return s;
}

namespace {

bool inRange(char c, unsigned char low, unsigned char high) {
    const auto u = static_cast<unsigned char>(c);
    return u >= low && u <= high;
}

// Where the escape sequence that starts at `i` (ESC, or the one-character CSI) ends. A sequence
// only ever takes ASCII bytes, so the characters around it stay whole; an ESC that starts no
// sequence goes alone.
std::size_t escapeEnd(std::string_view s, std::size_t i) {
    const bool csi8 = s[i] != '\x1b';
    std::size_t j = i + (csi8 ? 2 : 1);
    if (csi8 || (j < s.size() && s[j] == '[')) {
        // Control sequence: parameters, intermediates, then one final byte.
        if (!csi8) ++j;
        while (j < s.size() && inRange(s[j], 0x30, 0x3F)) ++j;
        while (j < s.size() && inRange(s[j], 0x20, 0x2F)) ++j;
        if (j < s.size() && inRange(s[j], 0x40, 0x7E)) ++j;
        return j;
    }
    if (j < s.size() && (s[j] == ']' || s[j] == 'P' || s[j] == '_' || s[j] == '^' || s[j] == 'X')) {
        // A command or string: up to BEL, ESC backslash or the one-character ST (U+009C), or the
        // end of the line. What it holds goes with it, whole characters included.
        for (++j; j < s.size(); ++j) {
            if (s[j] == '\x07') return j + 1;
            if (s[j] == '\x1b' && j + 1 < s.size() && s[j + 1] == '\\') return j + 2;
            if (s.compare(j, 2, "\xc2\x9c") == 0) return j + 2;
        }
        return j;
    }
    // Intermediates, then a final byte; anything else is not a sequence.
    std::size_t k = j;
    while (k < s.size() && inRange(s[k], 0x20, 0x2F)) ++k;
    if (k < s.size() && inRange(s[k], 0x30, 0x7E)) return k + 1;
    return j;
}

}  // namespace

std::string stripTerminalEscapes(std::string_view s) {
    if (s.find('\x1b') == std::string_view::npos && s.find("\xc2\x9b") == std::string_view::npos) return std::string(s);
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == '\x1b' || s.compare(i, 2, "\xc2\x9b") == 0) {
            i = escapeEnd(s, i);
            continue;
        }
        const std::size_t next = std::min(s.find_first_of("\x1b\xc2", i + 1), s.size());
        out.append(s.substr(i, next - i));
        i = next;
    }
    return out;
}

std::vector<std::string> findLinks(std::string_view s) {
    std::vector<std::string> links;
    auto isSchemeChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'; };
    auto endsLink = [](unsigned char c) { return c <= ' ' || c == '"' || c == '\'' || c == '<' || c == '>' || c == '`' || c == 0x7F; };
    // Each byte is looked at a bounded number of times: the text after a trimmed link holds no
    // "://" (it is only punctuation and brackets), so the next search starts past the link.
    std::size_t from = 0;
    while (true) {
        std::size_t mark = s.find("://", from);
        if (mark == std::string_view::npos) break;
        std::size_t start = mark;
        while (start > from && isSchemeChar(s[start - 1])) --start;
        while (start < mark && !std::isalpha(static_cast<unsigned char>(s[start]))) ++start;  // a scheme starts with a letter
        std::size_t end = mark + 3;
        // Brackets of each kind in the link so far: opened minus closed.
        long round = 0, square = 0, curly = 0;
        while (end < s.size() && !endsLink(static_cast<unsigned char>(s[end]))) {
            switch (s[end]) {
                case '(': ++round; break;
                case ')': --round; break;
                case '[': ++square; break;
                case ']': --square; break;
                case '{': ++curly; break;
                case '}': --curly; break;
                default: break;
            }
            ++end;
        }
        // Sentence punctuation after a link is not part of it; a closing bracket only when unopened.
        while (end > mark + 3) {
            const char last = s[end - 1];
            long* balance = last == ')' ? &round : last == ']' ? &square : last == '}' ? &curly : nullptr;
            if (std::string_view(".,;:!?").find(last) != std::string_view::npos || (balance && *balance < 0)) {
                if (balance) ++*balance;
                --end;
                continue;
            }
            break;
        }
        if (start < mark && end > mark + 3) links.emplace_back(s.substr(start, end - start));
        from = std::max(end, mark + 3);
    }
    return links;
}

}  // namespace tarn::text

namespace tarn::tr {

std::string format(const char* pattern, std::initializer_list<std::string_view> arguments) {
    const std::string_view p(pattern ? pattern : "");
    std::string out;
    out.reserve(p.size());
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '%' && i + 1 < p.size() && p[i + 1] >= '1' && p[i + 1] <= '9') {
            const auto index = static_cast<std::size_t>(p[i + 1] - '1');
            if (index < arguments.size()) {
                out += *(arguments.begin() + index);
                ++i;
                continue;
            }
        }
        out += p[i];
    }
    return out;
}

}  // namespace tarn::tr
