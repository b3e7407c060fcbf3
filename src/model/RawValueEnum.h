#pragma once
#include "support/Json.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarn {

// Shared machinery for enumerations with a text raw value: lookup both ways and JSON text coding.
// Each enumeration supplies `rawValues(Tag)` listing its cases and their texts.
template <typename E, std::size_t N>
using RawValueTable = std::array<std::pair<E, std::string_view>, N>;

template <typename E>
std::string_view rawValueOf(E value) {
    for (const auto& [c, raw] : rawValueTable(value)) {
        if (c == value) return raw;
    }
    return {};
}

template <typename E>
std::optional<E> fromRawValue(std::string_view text) {
    for (const auto& [c, raw] : rawValueTable(E{})) {
        if (raw == text) return c;
    }
    return std::nullopt;
}

template <typename E>
void encodeRawValue(json::Json& out, E value) {
    out = std::string(rawValueOf(value));
}

template <typename E>
E decodeRawValue(const json::Json& in) {
    if (!in.is_string()) throw json::Json::type_error::create(302, "expected a text raw value", &in);
    auto value = fromRawValue<E>(in.get_ref<const std::string&>());
    if (!value) {
        throw json::Json::other_error::create(501, "unknown raw value \"" + in.get<std::string>() + "\"", &in);
    }
    return *value;
}

}  // namespace tarn
