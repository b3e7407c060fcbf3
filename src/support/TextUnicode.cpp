// The helpers that need ICU's tables (case and grapheme clusters), apart from the rest of Text.cpp
// so that a program using only the plain helpers (the launcher) does not load ICU.
#include "support/IcuText.h"
#include "support/Text.h"

#include <memory>
#include <unicode/brkiter.h>
#include <unicode/unistr.h>

namespace tarn::text {

using icutext::toUnicode;
using icutext::toUtf8;

std::string toLower(std::string_view s) {
    auto u = toUnicode(s);
    u.toLower(icu::Locale::getRoot());
    return toUtf8(u);
}

std::string toTitleCase(std::string_view s) {
    auto u = toUnicode(s);
    u.toTitle(nullptr, icu::Locale::getRoot());
    return toUtf8(u);
}

std::string toUpper(std::string_view s) {
    auto u = toUnicode(s);
    u.toUpper(icu::Locale::getRoot());
    return toUtf8(u);
}

namespace {

// Calls `f` with the UTF-16 offset of each grapheme boundary after the start; stops when f says so.
template <typename F>
void forEachGraphemeEnd(const icu::UnicodeString& u, F&& f) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !it) {
        // Without break data count code points, which is the closest safe answer.
        for (int32_t i = u.moveIndex32(0, 1); i <= u.length() && i > 0; i = u.moveIndex32(i, 1)) {
            if (!f(i) || i == u.length()) return;
        }
        return;
    }
    it->setText(u);
    it->first();
    for (int32_t end = it->next(); end != icu::BreakIterator::DONE; end = it->next()) {
        if (!f(end)) return;
    }
}

}  // namespace

std::size_t graphemeCount(std::string_view s) {
    std::size_t count = 0;
    forEachGraphemeEnd(toUnicode(s), [&](int32_t) {
        ++count;
        return true;
    });
    return count;
}

std::string firstLine(std::string_view s, std::size_t count) {
    auto lines = splitLines(s);
    return lines.empty() ? std::string() : graphemePrefix(trim(lines.front()), count);
}

std::string graphemePrefix(std::string_view s, std::size_t count) {
    if (count == 0) return {};
    auto u = toUnicode(s);
    int32_t cut = u.length();
    std::size_t seen = 0;
    forEachGraphemeEnd(u, [&](int32_t end) {
        if (++seen == count) {
            cut = end;
            return false;
        }
        return true;
    });
    return toUtf8(u.tempSubString(0, cut));
}

}  // namespace tarn::text
