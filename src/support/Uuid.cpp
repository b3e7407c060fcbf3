#include "support/Uuid.h"

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
    char* s = g_uuid_string_random();
    text_ = upper(s);
    g_free(s);
}

}  // namespace tarn
