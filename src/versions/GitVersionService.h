#pragma once
#include "support/Task.h"
#include "support/Url.h"
#include "versions/GitVersionError.h"
#include "model/VersionItem.h"

#include <string>
#include <vector>

namespace tarn {

// Versions of a project are its git branches: listed, created from the current state, switched to.
class GitVersionService {
public:
    Task<std::vector<VersionItem>> listVersions(Url projectRoot) const;
    Task<void> createVersion(std::string name, Url projectRoot) const;
    Task<void> switchVersion(std::string name, Url projectRoot) const;

    static bool isValidVersionName(const std::string& name);
    // Branch names from `git branch --list` output: trimmed, blank lines dropped, in code point order.
    static std::vector<std::string> branchNames(const std::string& output);
};

}  // namespace tarn
