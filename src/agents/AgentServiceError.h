#pragma once
#include <stdexcept>
#include <string>

namespace tarn {

class AgentServiceError : public std::runtime_error {
public:
    enum class Case { noProjectOpen, unableToResolveTarget, targetTextNotFound, invalidInstruction };

    explicit AgentServiceError(Case c) : std::runtime_error(describe(c)), case_(c) {}
    Case errorCase() const { return case_; }
    std::string description() const { return what(); }

    static std::string describe(Case c) {
        switch (c) {
            case Case::noProjectOpen: return "Open a project first.";
            case Case::unableToResolveTarget: return "Could not map this UI element to a source file.";
            case Case::targetTextNotFound: return "Could not find matching text in source files.";
            case Case::invalidInstruction: return "Instruction could not be applied. Try a more specific edit.";
        }
        return {};
    }

private:
    Case case_;
};

}  // namespace tarn
