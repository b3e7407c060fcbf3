#include "support/Settings.h"

#include "support/Files.h"
#include "support/GObjectPtr.h"

#include <cstdlib>
#include <glib.h>

namespace fs = std::filesystem;

namespace tarn::settings {

fs::path file() { return files::userFolder("XDG_CONFIG_HOME", ".config") / "settings.ini"; }

namespace {

GPtr<GKeyFile, g_key_file_unref> load() {
    GPtr<GKeyFile, g_key_file_unref> keys(g_key_file_new());
    g_key_file_load_from_file(keys.get(), file().c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
    return keys;
}

}  // namespace

std::optional<std::string> get(const std::string& group, const std::string& key) {
    auto keys = load();
    GCharPtr value(g_key_file_get_string(keys.get(), group.c_str(), key.c_str(), nullptr));
    if (!value) return std::nullopt;
    return std::string(value.get());
}

void set(const std::string& group, const std::string& key, const std::string& value) {
    auto keys = load();
    g_key_file_set_string(keys.get(), group.c_str(), key.c_str(), value.c_str());
    gsize length = 0;
    GCharPtr data(g_key_file_to_data(keys.get(), &length, nullptr));
    files::createDirectories(file().parent_path());
    files::writeAtomically(file(), std::string_view(data.get(), length));
}

}  // namespace tarn::settings
