#pragma once
// Texts a person reads are marked for translation: _("...") where they are used, N_("...") where
// they are only named (a table, a constant) and translated at use.
#include <glib/gi18n-lib.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace tarn::tr {

// A translated pattern with %1, %2, ... replaced by the arguments, in one pass (an argument that
// itself holds "%2" stays as it is). Translators may reorder the numbered places.
std::string format(const char* pattern, std::initializer_list<std::string_view> arguments);

}  // namespace tarn::tr
