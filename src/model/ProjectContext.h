#pragma once
#include "support/Url.h"
#include "model/PackageManager.h"
#include "model/SupportedStack.h"

#include <optional>
#include <string>
#include <vector>

namespace tarn {

// Everything detected about the opened project. A changed context is a new record.
struct ProjectContext {
    Url rootURL;
    SupportedStack stack;
    PackageManager packageManager;
    std::string installCommand;
    std::string devCommand;
    Url defaultURL;
    std::string commandSource;
    std::vector<std::string> lockfiles;
    std::vector<PackageManager> availablePackageManagers;
    std::optional<Url> instructionsFile;

    friend bool operator==(const ProjectContext&, const ProjectContext&) = default;
};

}  // namespace tarn
