#include "preview/BridgeScript.h"

#include "support/GObjectPtr.h"

#include <gio/gio.h>

extern "C" GResource* tarn_preview_get_resource(void);

namespace tarn::preview {

const std::string& bridgeScript() {
    static const std::string script = [] {
        GPtr<GBytes, g_bytes_unref> bytes(g_resource_lookup_data(tarn_preview_get_resource(), "/dev/tarn/Tarn/preview/bridge.js",
                                                                 G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr));
        gsize size = 0;
        const char* data = bytes ? static_cast<const char*>(g_bytes_get_data(bytes.get(), &size)) : nullptr;
        return std::string(data ? data : "", size);
    }();
    return script;
}

}  // namespace tarn::preview
