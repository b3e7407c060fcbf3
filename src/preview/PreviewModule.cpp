// The web engine as a module the window opens after its first frame: WebKit's libraries take
// longer to load than the rest of the window's together.
#include "preview/PreviewView.h"

#include <gmodule.h>

extern "C" G_MODULE_EXPORT tarn::Preview* tarn_preview_new() { return new tarn::PreviewView(); }

// WebKit's libraries cannot be unloaded.
extern "C" G_MODULE_EXPORT const gchar* g_module_check_init(GModule* module) {
    g_module_make_resident(module);
    return nullptr;
}
