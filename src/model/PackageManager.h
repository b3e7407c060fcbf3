#pragma once
#include "model/EnumNames.h"

#include <vector>

namespace tarn {

// The package manager that drives install and dev commands; the raw value is its executable name.
enum class PackageManager { npm, pnpm, yarn, bun };

constexpr EnumNameTable<PackageManager, 4> enumNames(PackageManager) {
    return {{{PackageManager::npm, "npm"},
             {PackageManager::pnpm, "pnpm"},
             {PackageManager::yarn, "yarn"},
             {PackageManager::bun, "bun"}}};
}

// The canonical order.
inline const std::vector<PackageManager>& allPackageManagers() {
    static const std::vector<PackageManager> all{PackageManager::npm, PackageManager::pnpm, PackageManager::yarn,
                                                 PackageManager::bun};
    return all;
}

inline void to_json(json::Json& j, PackageManager v) { encodeName(j, v); }
inline void from_json(const json::Json& j, PackageManager& v) { v = decodeName<PackageManager>(j); }

}  // namespace tarn
