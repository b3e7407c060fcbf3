#pragma once
#include "model/RawValueEnum.h"

namespace tarn {

// The web stack of the opened project; the raw value is also its display name.
enum class SupportedStack { nextJS, viteReact, react, unknown };

constexpr RawValueTable<SupportedStack, 4> rawValueTable(SupportedStack) {
    return {{{SupportedStack::nextJS, "Next.js"},
             {SupportedStack::viteReact, "Vite + React"},
             {SupportedStack::react, "React"},
             {SupportedStack::unknown, "Unknown"}}};
}

inline void to_json(json::Json& j, SupportedStack v) { encodeRawValue(j, v); }
inline void from_json(const json::Json& j, SupportedStack& v) { v = decodeRawValue<SupportedStack>(j); }

}  // namespace tarn
