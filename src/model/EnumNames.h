#pragma once
#include "support/Json.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarn {

// Shared machinery for enumerations with a name: lookup both ways and JSON text coding.
// Each enumeration supplies `enumNames(E)` listing its values and their names.
template <typename E, std::size_t N>
using EnumNameTable = std::array<std::pair<E, std::string_view>, N>;

template <typename E>
std::string_view nameOf(E value) {
    for (const auto& [c, raw] : enumNames(value)) {
        if (c == value) return raw;
    }
    return {};
}

template <typename E>
std::optional<E> fromName(std::string_view text) {
    for (const auto& [c, raw] : enumNames(E{})) {
        if (raw == text) return c;
    }
    return std::nullopt;
}

template <typename E>
void encodeName(json::Json& out, E value) {
    out = std::string(nameOf(value));
}

template <typename E>
E decodeName(const json::Json& in) {
    if (!in.is_string()) throw json::Json::type_error::create(302, "expected a name", &in);
    auto value = fromName<E>(in.get_ref<const std::string&>());
    if (!value) {
        throw json::Json::other_error::create(501, "unknown name \"" + in.get<std::string>() + "\"", &in);
    }
    return *value;
}

}  // namespace tarn
