#include "bootstrap/PackageManagers.h"

#include "support/Text.h"

#include <algorithm>

namespace tarn::packageManagers {

namespace {

template <typename T>
bool contains(const std::vector<T>& list, const T& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

const std::vector<std::string>& lockfileNames() {
    static const std::vector<std::string> names{"pnpm-lock.yaml", "yarn.lock", "bun.lockb", "bun.lock", "package-lock.json"};
    return names;
}

PackageManager preferred(const std::vector<std::string>& lockfiles) {
    if (contains<std::string>(lockfiles, "pnpm-lock.yaml")) return PackageManager::pnpm;
    if (contains<std::string>(lockfiles, "yarn.lock")) return PackageManager::yarn;
    if (contains<std::string>(lockfiles, "bun.lockb") || contains<std::string>(lockfiles, "bun.lock")) return PackageManager::bun;
    return PackageManager::npm;
}

PackageManager choose(PackageManager wanted, const std::vector<PackageManager>& installed) {
    if (contains(installed, wanted)) return wanted;
    for (PackageManager candidate : allPackageManagers()) {
        if (candidate != wanted && contains(installed, candidate)) return candidate;
    }
    return installed.empty() ? wanted : installed.front();
}

std::optional<PackageManager> inferFrom(const std::string& installCommand, const std::string& devCommand) {
    // The managers' names are ASCII: no need for Unicode's case tables.
    std::string joined = installCommand + " " + devCommand;
    for (char& c : joined) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    for (PackageManager manager : {PackageManager::pnpm, PackageManager::yarn, PackageManager::bun, PackageManager::npm}) {
        if (text::contains(joined, nameOf(manager))) return manager;
    }
    return std::nullopt;
}

std::string installCommand(PackageManager manager) { return std::string(nameOf(manager)) + " install"; }

std::string devCommand(PackageManager manager) {
    switch (manager) {
        case PackageManager::npm: return "npm run dev";
        case PackageManager::pnpm: return "pnpm dev";
        case PackageManager::yarn: return "yarn dev";
        case PackageManager::bun: return "bun run dev";
    }
    return {};
}

}  // namespace tarn::packageManagers
