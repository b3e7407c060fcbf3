#pragma once
#include "model/PackageManager.h"

#include <optional>
#include <string>
#include <vector>

// Which package manager a project uses, and its commands.
namespace tarn::packageManagers {

// The lockfiles looked for at a project's root, in order of preference.
const std::vector<std::string>& lockfileNames();
// The one its lockfiles name (pnpm, yarn, bun, then npm).
PackageManager preferred(const std::vector<std::string>& lockfiles);
// The preferred one when installed; otherwise the first installed in the usual order.
PackageManager choose(PackageManager preferred, const std::vector<PackageManager>& installed);
// The one a pair of commands runs ("pnpm" is asked before "npm", which it holds); nothing when
// they name none.
std::optional<PackageManager> inferFrom(const std::string& installCommand, const std::string& devCommand);

std::string installCommand(PackageManager manager);
std::string devCommand(PackageManager manager);

}  // namespace tarn::packageManagers
