#pragma once
#include <string>
#include <string_view>
#include <unicode/unistr.h>

// UTF-8 text to ICU's strings and back, for the helpers built on ICU.
namespace tarn::icutext {

inline icu::UnicodeString toUnicode(std::string_view s) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

inline std::string toUtf8(const icu::UnicodeString& u) {
    std::string out;
    u.toUTF8String(out);
    return out;
}

}  // namespace tarn::icutext
