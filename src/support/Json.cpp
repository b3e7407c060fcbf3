#include "support/Json.h"
#include "support/Translate.h"

#include "support/PlatformError.h"
#include "support/Text.h"

#include <glib.h>

namespace tarn::json {

namespace {

// Accepts everything and remembers where, and why, parsing stopped.
struct ErrorLocator final : nlohmann::json_sax<Json> {
    std::size_t position = 0;  // just past the offending byte
    std::size_t tokenStart = 0;
    int id = 0;
    std::string detail;
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t at, const std::string& token, const nlohmann::detail::exception& ex) override {
        position = at;
        tokenStart = token.size() < at ? at - token.size() + 1 : at;
        id = ex.id;
        detail = ex.what();
        return false;
    }
};

// Why the text is not JSON, and whether the place to show is where the offending token begins.
std::pair<std::string, bool> reasonFor(const ErrorLocator& error) {
    if (error.id == 406) return {_("a number is too large"), true};
    if (text::contains(error.detail, "UTF-8")) return {_("the text is not valid UTF-8"), false};
    if (text::contains(error.detail, "unexpected end of input")) return {_("the text ends too early"), false};
    if (text::contains(error.detail, "control character")) return {_("a string holds an unescaped control character"), false};
    return {_("unexpected text"), true};
}

// Line and column (both from 1, the column in characters) of the character at a byte position.
std::pair<std::size_t, std::size_t> lineAndColumn(std::string_view text, std::size_t position) {
    std::size_t line = 1, column = 1;
    const std::size_t end = std::min(position > 0 ? position - 1 : 0, text.size());
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

}  // namespace

Json parseDocument(std::string_view text, std::string_view documentName) {
    Json value = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded()) {
        ErrorLocator error;
        Json::sax_parse(text, &error);
        // A token that should not be there is shown where it begins; bad bytes and a missing end
        // where parsing stopped.
        const auto [reason, atToken] = reasonFor(error);
        auto [line, column] = lineAndColumn(text, atToken ? error.tokenStart : error.position);
        throw PlatformError(tr::format(_("%1 is not valid JSON: %2 (line %3, column %4)."),
                                       {documentName, reason, std::to_string(line), std::to_string(column)}));
    }
    if (!value.is_object() && !value.is_array()) {
        throw PlatformError(tr::format(_("%1 couldn't be read because it isn't in the correct format (JSON text did "
                                         "not start with array or object)."),
                                       {documentName}));
    }
    return value;
}

std::string replaceLoneSurrogates(std::string_view text) {
    auto hexAt = [&](std::size_t at) -> int {
        if (at + 4 > text.size()) return -1;
        int value = 0;
        for (std::size_t i = at; i < at + 4; ++i) {
            int digit = g_ascii_xdigit_value(text[i]);
            if (digit < 0) return -1;
            value = value * 16 + digit;
        }
        return value;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        if (text[i + 1] != 'u') {
            out.append(text.substr(i, 2));  // any other escape, \\ included, stays as it is
            ++i;
            continue;
        }
        int unit = hexAt(i + 2);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 7 < text.size() && text[i + 6] == '\\' && text[i + 7] == 'u') {
            int low = hexAt(i + 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out.append(text.substr(i, 12));
                i += 11;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            out += "\\ufffd";
            i += 5;
            continue;
        }
        out.append(text.substr(i, 2));
        ++i;
    }
    return out;
}

std::optional<Json> parseObject(std::string_view text) {
    Json value = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    // JavaScript strings may hold half of a surrogate pair, which JSON text then carries as a lone
    // escape: the character is replaced rather than the whole text refused.
    if (value.is_discarded() && text.find("\\u") != std::string_view::npos) {
        value = Json::parse(replaceLoneSurrogates(text), nullptr, /*allow_exceptions=*/false);
    }
    if (!value.is_object()) return std::nullopt;
    return value;
}

std::optional<std::string> stringMember(const Json& object, std::string_view key) {
    if (!object.is_object()) return std::nullopt;
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

std::optional<std::string> firstNonBlankString(const Json& object, std::initializer_list<std::string_view> keys) {
    for (auto key : keys) {
        if (auto value = stringMember(object, key)) {
            auto trimmed = text::trim(*value);
            if (!trimmed.empty()) return trimmed;
        }
    }
    return std::nullopt;
}

}  // namespace tarn::json
