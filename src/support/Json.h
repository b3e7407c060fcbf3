#pragma once
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace tarn::json {

using Json = nlohmann::json;

// Parses JSON text whose top level is an object or an array. A bare scalar, invalid UTF-8, a
// syntax error or a number out of range throws PlatformError with a sentence that names
// `documentName`, says what is wrong and where (line and column).
Json parseDocument(std::string_view text, std::string_view documentName = "The data");
// Parses without throwing; absent unless the text is a JSON object. A lone surrogate escape
// (half of a UTF-16 pair) becomes U+FFFD.
std::optional<Json> parseObject(std::string_view text);
// Every \uD800-\uDFFF escape that is not part of a pair becomes \ufffd; the rest is unchanged.
std::string replaceLoneSurrogates(std::string_view text);

// The member's text, when the member exists and is a string.
std::optional<std::string> stringMember(const Json& object, std::string_view key);
// The first of `keys` whose value is a text that is non-empty after trimming; the trimmed text.
std::optional<std::string> firstNonBlankString(const Json& object, std::initializer_list<std::string_view> keys);

}  // namespace tarn::json
