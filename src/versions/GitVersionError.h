#pragma once
#include <stdexcept>
#include "support/Translate.h"
#include <string>

namespace tarn {

// Why a version could not be listed, created or switched to.
class GitVersionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;

    static GitVersionError commandFailed(std::string message) { return GitVersionError(message); }
    static GitVersionError missingRepository() { return GitVersionError(_("This folder is not a git repository.")); }
    static GitVersionError invalidVersionName() {
        return GitVersionError(_("Version name can only include letters, numbers, dashes, underscores, and slashes."));
    }
};

}  // namespace tarn
