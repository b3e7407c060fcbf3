#include "bootstrap/ProjectBootstrapService.h"
#include "process/Sandbox.h"
#include "support/Translate.h"

#include "bootstrap/PackageManagers.h"
#include "bootstrap/StackRules.h"
#include "process/ProcessEnvironment.h"
#include "process/ShellCommandRunner.h"
#include "support/Files.h"
#include "support/Json.h"
#include "support/Regex.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <future>

namespace fs = std::filesystem;

namespace tarn {

namespace {

constexpr const char* kPortPattern = R"(--port\s+(\d+)|-p\s+(\d+))";

}  // namespace

ProjectContext ProjectBootstrapService::detectProject(const Url& folder) const {
    const fs::path root = folder.path();
    const fs::path manifest = root / "package.json";
    std::error_code ec;
    if (!fs::exists(manifest, ec)) throw ProjectBootstrapError(ProjectBootstrapError::Kind::missingPackageJSON);

    const std::string data = files::readFile(manifest, maxPackageJSONSize);
    const json::Json document = json::parseDocument(data, "package.json");
    if (!document.is_object()) throw ProjectBootstrapError(ProjectBootstrapError::Kind::invalidPackageJSON);

    std::optional<std::string> devScript;
    if (auto scripts = document.find("scripts"); scripts != document.end() && scripts->is_object()) {
        bool allText = std::all_of(scripts->begin(), scripts->end(), [](const json::Json& v) { return v.is_string(); });
        if (allText) devScript = json::stringMember(*scripts, "dev");
    }
    if (!devScript) throw ProjectBootstrapError(ProjectBootstrapError::Kind::missingDevScript);

    std::set<std::string> names;
    for (const char* member : {"dependencies", "devDependencies"}) {
        auto deps = document.find(member);
        if (deps == document.end() || !deps->is_object()) continue;
        for (auto it = deps->begin(); it != deps->end(); ++it) names.insert(it.key());
    }
    const SupportedStack stack = stacks::detect(names);

    std::vector<std::string> lockfiles;
    for (const auto& name : packageManagers::lockfileNames()) {
        if (fs::exists(root / name, ec)) lockfiles.push_back(name);
    }

    const PackageManager preferred = packageManagers::preferred(lockfiles);
    const std::vector<PackageManager> available = availablePackageManagers();
    PackageManager chosen = preferred;
    std::string source;
    if (available.empty()) {
        source = _("Lockfile (PATH unresolved)");
    } else {
        chosen = packageManagers::choose(preferred, available);
        source = chosen == preferred ? std::string(_("Lockfile"))
                                     : tr::format(_("Runtime fallback (%1 unavailable)"), {nameOf(preferred)});
    }

    std::int64_t port = extractPort(*devScript).value_or(stacks::defaultPort(stack, names));
    auto address = Url::parse("http://localhost:" + std::to_string(port));
    if (!address) address = Url::parse("http://localhost:3000");

    return ProjectContext{
        .rootURL = folder,
        .stack = stack,
        .packageManager = chosen,
        .installCommand = packageManagers::installCommand(chosen),
        .devCommand = packageManagers::devCommand(chosen),
        .defaultURL = *address,
        .commandSource = source,
        .lockfiles = lockfiles,
        .availablePackageManagers = available,
        .instructionsFile = std::nullopt,
    };
}

Task<void> ProjectBootstrapService::installDependenciesIfNeeded(ProjectContext context,
                                                                std::function<void(const std::string&)> onOutputLine,
                                                                std::optional<Cancellation> cancellation) const {
    std::error_code ec;
    // A file named node_modules, or one whose attributes cannot be read, counts as not installed.
    if (fs::is_directory(fs::symlink_status(fs::path(context.rootURL.path()) / "node_modules", ec))) co_return;
    // Install scripts of hundreds of packages run here: away from the user's keys.
    std::vector<std::string> command{"/bin/zsh", "-lc", context.installCommand};
    if (sandbox::wanted(context.rootURL.path())) command = sandbox::wrap(command, context.rootURL.path());
    const std::string executable = command.front();
    command.erase(command.begin());
    auto install = ShellCommandRunner::runStreaming(executable, std::move(command),
                                                    context.rootURL, std::move(onOutputLine),
                                                    RunControl{.ownProcessGroup = true, .cancellation = cancellation});
    co_await install;
}

std::vector<PackageManager> ProjectBootstrapService::availablePackageManagers() {
    // Asked all at once: each one not installed costs a `which` child, on the way to the server.
    std::vector<std::pair<PackageManager, std::future<bool>>> asked;
    for (PackageManager manager : allPackageManagers()) {
        asked.emplace_back(manager, std::async(std::launch::async, [name = std::string(nameOf(manager))] {
                               return ProcessEnvironment::resolveExecutable(name, ProcessEnvironment::fixedToolPaths(name)).has_value();
                           }));
    }
    std::vector<PackageManager> available;
    for (auto& [manager, found] : asked) {
        if (found.get()) available.push_back(manager);
    }
    return available;
}

std::optional<std::int64_t> ProjectBootstrapService::extractPort(const std::string& devScript) {
    static const auto pattern = Regex::compile(kPortPattern);
    if (!pattern) return std::nullopt;
    auto match = pattern->firstMatch(devScript);
    if (!match) return std::nullopt;
    for (const auto& group : match->groups) {
        if (!group || group->empty()) continue;
        std::int64_t value = 0;
        auto [end, error] = std::from_chars(group->data(), group->data() + group->size(), value);
        if (error == std::errc() && end == group->data() + group->size()) return value;
    }
    return std::nullopt;
}

}  // namespace tarn
