#include "app/PreviewModule.h"

#include <filesystem>
#include <glib/gi18n-lib.h>
#include <gmodule.h>
#include <mutex>

namespace tarn::preview_module {

namespace {

const char* const moduleName = "tarn-preview.so";

Opened openFrom(const std::filesystem::path& path) {
    Opened opened;
    GModule* module = g_module_open(path.c_str(), G_MODULE_BIND_LOCAL);
    gpointer symbol = nullptr;
    if (!module || !g_module_symbol(module, previewFactoryName, &symbol) || !symbol) {
        opened.error = std::string(_("Tarn’s web engine could not be loaded: ")) + g_module_error();
        return opened;
    }
    opened.factory = reinterpret_cast<PreviewFactory>(symbol);
    return opened;
}

}  // namespace

const Opened& open() {
    static Opened outcome;
    static std::once_flag once;
    std::call_once(once, [] {
        std::error_code ec;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
        const auto beside = self.parent_path() / moduleName;
        outcome = openFrom(!ec && std::filesystem::exists(beside, ec) ? beside : std::filesystem::path(TARN_PREVIEW_MODULE));
    });
    return outcome;
}

std::unique_ptr<Preview> make(std::string& error) {
    const Opened& opened = open();
    if (!opened.factory) {
        error = opened.error;
        return nullptr;
    }
    return std::unique_ptr<Preview>(opened.factory());
}

}  // namespace tarn::preview_module
