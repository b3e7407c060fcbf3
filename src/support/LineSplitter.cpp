#include "support/LineSplitter.h"

#include "support/Text.h"

namespace tarn {

namespace {

// Length in bytes of the newline character starting at `p`, or 0.
std::size_t newlineAt(std::string_view s, std::size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\n' || c == '\v' || c == '\f' || c == '\r') return 1;
    if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x85) return 2;
    if (c == 0xE2 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80) {
        unsigned char c2 = static_cast<unsigned char>(s[i + 2]);
        if (c2 == 0xA8 || c2 == 0xA9) return 3;
    }
    return 0;
}

}  // namespace

void LineSplitter::append(std::string_view text, const Sink& sink) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        // Only these lead bytes can begin a newline character.
        std::size_t len = (c < 0x0E || c == 0xC2 || c == 0xE2) ? newlineAt(text, i) : 0;
        if (len == 0) {
            ++i;
            continue;
        }
        if (pending_.empty()) {
            if (i > start) sink(std::string(text.substr(start, i - start)));
        } else {
            pending_.append(text.substr(start, i - start));
            std::string line = std::move(pending_);
            pending_.clear();
            if (!line.empty()) sink(line);
        }
        i += len;
        start = i;
    }
    pending_.append(text.substr(start));
}

void LineSplitter::flush(const Sink& sink) {
    std::string rest = text::trim(pending_);
    pending_.clear();
    if (!rest.empty()) sink(rest);
}

}  // namespace tarn
