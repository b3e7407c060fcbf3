#include "support/Regex.h"

#include "support/IcuText.h"

#include <unicode/regex.h>

namespace tarn {

namespace {

using icutext::toUnicode;
using icutext::toUtf8;

Regex::Match currentMatch(icu::RegexMatcher& m) {
    Regex::Match match;
    UErrorCode status = U_ZERO_ERROR;
    match.text = toUtf8(m.group(status));
    for (int32_t g = 1; g <= m.groupCount(); ++g) {
        status = U_ZERO_ERROR;
        if (m.start(g, status) < 0 || U_FAILURE(status)) {
            match.groups.emplace_back(std::nullopt);
        } else {
            match.groups.emplace_back(toUtf8(m.group(g, status)));
        }
    }
    return match;
}

}  // namespace

std::optional<Regex> Regex::compile(std::string_view pattern, bool caseInsensitive) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::shared_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(toUnicode(pattern), caseInsensitive ? UREGEX_CASE_INSENSITIVE : 0, parseError, status));
    if (U_FAILURE(status) || !compiled) return std::nullopt;
    return Regex(std::move(compiled));
}

std::optional<Regex::Match> Regex::firstMatch(std::string_view text) const {
    UErrorCode status = U_ZERO_ERROR;
    auto input = toUnicode(text);
    std::unique_ptr<icu::RegexMatcher> m(pattern_->matcher(input, status));
    if (U_FAILURE(status) || !m->find()) return std::nullopt;
    return currentMatch(*m);
}

bool Regex::matchesWhole(std::string_view text) const {
    UErrorCode status = U_ZERO_ERROR;
    auto input = toUnicode(text);
    std::unique_ptr<icu::RegexMatcher> m(pattern_->matcher(input, status));
    if (U_FAILURE(status)) return false;
    bool whole = m->matches(status);
    return U_SUCCESS(status) && whole;
}

std::string Regex::replaceFirst(std::string_view text, std::string_view replacement) const {
    UErrorCode status = U_ZERO_ERROR;
    auto input = toUnicode(text);
    std::unique_ptr<icu::RegexMatcher> m(pattern_->matcher(input, status));
    if (U_FAILURE(status)) return std::string(text);
    auto out = m->replaceFirst(toUnicode(replacement), status);
    return U_FAILURE(status) ? std::string(text) : toUtf8(out);
}

std::string Regex::replaceAll(std::string_view text, std::string_view replacement) const {
    UErrorCode status = U_ZERO_ERROR;
    auto input = toUnicode(text);
    std::unique_ptr<icu::RegexMatcher> m(pattern_->matcher(input, status));
    if (U_FAILURE(status)) return std::string(text);
    auto out = m->replaceAll(toUnicode(replacement), status);
    return U_FAILURE(status) ? std::string(text) : toUtf8(out);
}

}  // namespace tarn
