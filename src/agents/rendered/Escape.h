#pragma once
#include "agents/rendered/Rendered.h"

#include <string>
#include <string_view>

namespace tarn::rendered::detail {

// `text` written where page text of `context` stands in a file of `syntax`, so that the page shows
// it as it is (what would read as markup, an expression or the end of a string is escaped).
std::string escapeFor(Syntax syntax, Context context, std::string_view text);

}  // namespace tarn::rendered::detail
