#pragma once
#include "bootstrap/ProjectBootstrapError.h"
#include "support/Task.h"
#include "support/Url.h"
#include "model/ProjectContext.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarn {

// Reads a project folder into a ProjectContext, and installs its dependencies when they are missing.
class ProjectBootstrapService {
public:
    // Synchronous; may run up to four short `which` lookups. Throws ProjectBootstrapError, or the
    // platform error of reading or parsing package.json.
    ProjectContext detectProject(const Url& folder) const;

    // Runs the install command through the login shell in the project folder unless node_modules
    // is already a folder there, handing each line it prints to `onOutputLine` as it arrives. The
    // install runs in a guarded process group of its own. A failed install throws the runner's
    // ShellCommandError; a cancelled one CancellationError.
    Task<void> installDependenciesIfNeeded(ProjectContext context,
                                           std::function<void(const std::string&)> onOutputLine = nullptr,
                                           std::optional<Cancellation> cancellation = std::nullopt) const;

    // The package managers installed here, in the usual order.
    static std::vector<PackageManager> availablePackageManagers();
    static std::optional<std::int64_t> extractPort(const std::string& devScript);

    // package.json larger than this is refused with a clear message instead of being parsed.
    static constexpr std::size_t maxPackageJSONSize = 16 * 1024 * 1024;
};

}  // namespace tarn
