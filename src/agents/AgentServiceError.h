#pragma once
#include "support/Translate.h"

#include <stdexcept>
#include <string>

namespace tarn {

class AgentServiceError : public std::runtime_error {
public:
    enum class Case {
        targetTextNotFound,
        // An inline edit that would be a guess or would break the page.
        ambiguousText,
        textFromValue,
        editCrossesMarkup,
        unsafeEdit,
    };

    explicit AgentServiceError(Case c) : std::runtime_error(describe(c)), case_(c) {}
    AgentServiceError(Case c, const std::string& description) : std::runtime_error(description), case_(c) {}
    Case errorCase() const { return case_; }

    static std::string describe(Case c) {
        switch (c) {
            case Case::targetTextNotFound: return _("Could not find matching text in source files.");
            case Case::ambiguousText:
                return _("This text appears in more than one place; select an element whose text is unique, or describe "
                       "the change to the agent.");
            case Case::textFromValue:
                return _("This text is a value the code computes; only the words around it can be edited in place.");
            case Case::editCrossesMarkup:
                return _("This edit reaches across the page's markup; change the words of one piece of text, or describe "
                       "the change to the agent.");
            case Case::unsafeEdit:
                return _("This edit could not be made without risk to the page; describe the change to the agent instead.");
        }
        return {};
    }

private:
    Case case_;
};

}  // namespace tarn
