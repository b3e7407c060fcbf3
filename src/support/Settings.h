#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace tarn::settings {

// The user's settings for Tarn, in a key file of the user's configuration folder: read afresh on
// every call, written atomically. A setting that cannot be read is unset; one that cannot be
// written throws PlatformError.
std::optional<std::string> get(const std::string& group, const std::string& key);
void set(const std::string& group, const std::string& key, const std::string& value);
std::filesystem::path file();

}  // namespace tarn::settings
