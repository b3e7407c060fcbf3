#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

namespace tarn {

// ICU regular expressions over UTF-8 text.
class Regex {
public:
    struct Match {
        std::string text;                               // the whole match
        std::vector<std::optional<std::string>> groups;  // 1-based groups at [i-1]; absent when not taking part
    };

    // Absent when the pattern does not compile.
    static std::optional<Regex> compile(std::string_view pattern, bool caseInsensitive = false);

    std::optional<Match> firstMatch(std::string_view text) const;
    bool matchesWhole(std::string_view text) const;
    // Replaces the first match (or every match) by `replacement`, where $1.. name groups.
    std::string replaceFirst(std::string_view text, std::string_view replacement) const;
    std::string replaceAll(std::string_view text, std::string_view replacement) const;

private:
    explicit Regex(std::shared_ptr<icu::RegexPattern> pattern) : pattern_(std::move(pattern)) {}
    std::shared_ptr<icu::RegexPattern> pattern_;
};

}  // namespace tarn
