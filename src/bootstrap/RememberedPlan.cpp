#include "bootstrap/RememberedPlan.h"

#include "bootstrap/PackageManagers.h"
#include "support/Files.h"
#include "support/GObjectPtr.h"
#include "support/Json.h"

#include <glib.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace tarn::rememberedPlan {

namespace {

// One file a project's real path names (a moved project plans again).
fs::path recordOf(const fs::path& root, const fs::path& folder) {
    std::error_code ec;
    fs::path real = fs::canonical(root, ec);
    if (ec) real = root;
    GCharPtr digest(g_compute_checksum_for_string(G_CHECKSUM_SHA256, real.c_str(), -1));
    return folder / (std::string(digest.get()).substr(0, 32) + ".json");
}

std::vector<std::string> packageManagerNames(const std::vector<PackageManager>& managers) {
    std::vector<std::string> names;
    for (auto m : managers) names.emplace_back(nameOf(m));
    return names;
}

}  // namespace

fs::path defaultFolder() { return files::userFolder("XDG_CACHE_HOME", ".cache") / "plans"; }

std::string inputsOf(const fs::path& root) {
    std::vector<std::string> names{"package.json", ".tarn/instructions.md"};
    for (const auto& lockfile : packageManagers::lockfileNames()) names.push_back(lockfile);
    std::string lines;
    for (const auto& name : names) {
        // Size, change time to the nanosecond and the file itself: any write, replacement or
        // checkout shows in one of them, and nothing is read.
        struct stat st {};
        lines += name + " ";
        if (::stat((root / name).c_str(), &st) != 0) {
            lines += "absent\n";
            continue;
        }
        lines += std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
                 std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_ctim.tv_sec) + "." +
                 std::to_string(st.st_ctim.tv_nsec) + " " + std::to_string(st.st_ino) + "\n";
    }
    return lines;
}

void remember(const ProjectContext& context, const fs::path& folder) {
    const fs::path root = context.rootURL.path();
    json::Json record{
        {"root", root.string()},
        {"inputs", inputsOf(root)},
        {"stack", std::string(nameOf(context.stack))},
        {"packageManager", std::string(nameOf(context.packageManager))},
        {"installCommand", context.installCommand},
        {"devCommand", context.devCommand},
        {"defaultURL", context.defaultURL.string()},
        {"commandSource", context.commandSource},
        {"lockfiles", context.lockfiles},
        {"availablePackageManagers", packageManagerNames(context.availablePackageManagers)},
        {"instructions", context.instructionsFile ? context.instructionsFile->string() : std::string()},
    };
    files::createDirectories(folder);
    files::writeAtomically(recordOf(root, folder), record.dump(2));
}

std::optional<ProjectContext> recall(const fs::path& root, const fs::path& folder) {
    try {
        const json::Json record = json::parseDocument(files::readFile(recordOf(root, folder), 1 << 20), "The remembered plan");
        if (record.at("root").get<std::string>() != root.string() || record.at("inputs").get<std::string>() != inputsOf(root)) {
            return std::nullopt;
        }
        auto address = Url::parse(record.at("defaultURL").get<std::string>());
        const auto devCommand = record.at("devCommand").get<std::string>();
        if (!address || devCommand.empty()) return std::nullopt;
        std::vector<PackageManager> available;
        for (const auto& name : record.at("availablePackageManagers")) available.push_back(decodeName<PackageManager>(name));
        ProjectContext context{
            .rootURL = Url::forFile(root.string()),
            .stack = decodeName<SupportedStack>(record.at("stack")),
            .packageManager = decodeName<PackageManager>(record.at("packageManager")),
            .installCommand = record.at("installCommand").get<std::string>(),
            .devCommand = devCommand,
            .defaultURL = *address,
            .commandSource = record.at("commandSource").get<std::string>(),
            .lockfiles = record.at("lockfiles").get<std::vector<std::string>>(),
            .availablePackageManagers = available,
            .instructionsFile = Url::parse(record.at("instructions").get<std::string>()),
        };
        return context;
    } catch (const std::exception&) {
        // Missing, unreadable or from another version: planned again, as the first time.
        return std::nullopt;
    }
}

}  // namespace tarn::rememberedPlan
