#include "support/Uuid.h"

#include "support/GObjectPtr.h"

#include <glib.h>

namespace tarn {

Uuid::Uuid() : text_(GCharPtr(g_uuid_string_random()).get()) {}

}  // namespace tarn
