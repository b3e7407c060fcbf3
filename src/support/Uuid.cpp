#include "support/Uuid.h"

#include "support/GObjectPtr.h"

#include <algorithm>
#include <glib.h>

namespace tarn {

namespace {
std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(g_ascii_toupper(c)); });
    return s;
}
}  // namespace

Uuid::Uuid() {
    GCharPtr s(g_uuid_string_random());
    text_ = upper(s.get());
}

}  // namespace tarn
