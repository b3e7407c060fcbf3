#pragma once
#include <stdexcept>
#include <string>

namespace tarn {

class GitVersionError : public std::runtime_error {
public:
    enum class Case { commandFailed, missingRepository, invalidVersionName };

    static GitVersionError commandFailed(std::string message) { return {Case::commandFailed, std::move(message)}; }
    static GitVersionError missingRepository() { return {Case::missingRepository, "This folder is not a git repository."}; }
    static GitVersionError invalidVersionName() {
        return {Case::invalidVersionName,
                "Version name can only include letters, numbers, dashes, underscores, and slashes."};
    }

    Case errorCase() const { return case_; }
    std::string description() const { return what(); }

private:
    GitVersionError(Case c, std::string description) : std::runtime_error(std::move(description)), case_(c) {}
    Case case_;
};

}  // namespace tarn
