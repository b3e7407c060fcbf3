#pragma once
#include "support/Uuid.h"

#include <string>

namespace tarn {

// One version (git branch) of the project.
struct VersionItem {
    Uuid id;
    std::string name;
    bool isCurrent = false;

    friend bool operator==(const VersionItem&, const VersionItem&) = default;
};

}  // namespace tarn
