#pragma once
#include <stdexcept>
#include "support/Translate.h"
#include <string>

namespace tarn {

// Why a folder could not be read as a project.
class ProjectBootstrapError : public std::runtime_error {
public:
    enum class Kind { missingPackageJSON, invalidPackageJSON, missingDevScript };

    explicit ProjectBootstrapError(Kind c) : std::runtime_error(describe(c)), kind_(c) {}
    Kind kind() const { return kind_; }

    static std::string describe(Kind c) {
        switch (c) {
            case Kind::missingPackageJSON: return _("No package.json found in this folder.");
            case Kind::invalidPackageJSON: return _("package.json exists but could not be parsed.");
            case Kind::missingDevScript: return _("No dev script was found. Add scripts.dev in package.json.");
        }
        return {};
    }

private:
    Kind kind_;
};

}  // namespace tarn
