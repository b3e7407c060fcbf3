#include "support/Json.h"

#include "support/PlatformError.h"
#include "support/Text.h"

namespace tarn::json {

Json parseDocument(std::string_view text) {
    Json value;
    try {
        value = Json::parse(text);
    } catch (const Json::parse_error& e) {
        throw PlatformError("The data couldn't be read because it isn't in the correct format (" + std::string(e.what()) + ")");
    }
    if (!value.is_object() && !value.is_array()) {
        throw PlatformError("The data couldn't be read because it isn't in the correct format (JSON text did not start with array or object).");
    }
    return value;
}

std::optional<Json> parseObject(std::string_view text) {
    Json value = Json::parse(text, nullptr, /*allow_exceptions=*/false);
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
