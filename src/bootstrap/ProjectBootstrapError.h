#pragma once
#include <stdexcept>
#include "support/Translate.h"
#include <string>

namespace tarn {

// Why a folder could not be read as a project.
class ProjectBootstrapError : public std::runtime_error {
public:
    enum class Case { missingPackageJSON, invalidPackageJSON, missingDevScript };

    explicit ProjectBootstrapError(Case c) : std::runtime_error(describe(c)), case_(c) {}
    Case errorCase() const { return case_; }

    static std::string describe(Case c) {
        switch (c) {
            case Case::missingPackageJSON: return _("No package.json found in this folder.");
            case Case::invalidPackageJSON: return _("package.json exists but could not be parsed.");
            case Case::missingDevScript: return _("No dev script was found. Add scripts.dev in package.json.");
        }
        return {};
    }

private:
    Case case_;
};

}  // namespace tarn
