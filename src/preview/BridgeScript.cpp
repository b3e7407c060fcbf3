#include "preview/BridgeScript.h"

#include "support/GObjectPtr.h"

#include <gio/gio.h>

extern "C" GResource* tarn_preview_get_resource(void);

namespace tarn::preview {

namespace {

std::string resource(const char* name) {
    const std::string path = std::string("/dev/tarn/Tarn/preview/") + name;
    GPtr<GBytes, g_bytes_unref> bytes(g_resource_lookup_data(tarn_preview_get_resource(), path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr));
    gsize size = 0;
    const char* data = bytes ? static_cast<const char*>(g_bytes_get_data(bytes.get(), &size)) : nullptr;
    return std::string(data ? data : "", size);
}

}  // namespace

const std::string& bridgeScript() {
    // One script, one closure: the style panel's part is kept in a file of its own.
    static const std::string script = [] {
        std::string bridge = resource("bridge.js");
        const std::string marker = "  // @include bridge-style.js\n";
        if (const auto at = bridge.find(marker); at != std::string::npos) bridge.replace(at, marker.size(), resource("bridge-style.js"));
        return bridge;
    }();
    return script;
}

}  // namespace tarn::preview
