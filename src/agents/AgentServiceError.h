#pragma once
#include "support/Translate.h"

#include <stdexcept>
#include <string>

namespace tarn {

class AgentServiceError : public std::runtime_error {
public:
    enum class Kind {
        targetTextNotFound,
        // An inline edit that would be a guess or would break the page.
        ambiguousText,
        textFromValue,
        editCrossesMarkup,
        unsafeEdit,
    };

    explicit AgentServiceError(Kind c) : std::runtime_error(describe(c)), kind_(c) {}
    AgentServiceError(Kind c, const std::string& description) : std::runtime_error(description), kind_(c) {}
    Kind kind() const { return kind_; }

    static std::string describe(Kind c) {
        switch (c) {
            case Kind::targetTextNotFound: return _("Could not find matching text in source files.");
            case Kind::ambiguousText:
                return _("This text appears in more than one place; select an element whose text is unique, or describe "
                       "the change to the agent.");
            case Kind::textFromValue:
                return _("This text is a value the code computes; only the words around it can be edited in place.");
            case Kind::editCrossesMarkup:
                return _("This edit reaches across the page's markup; change the words of one piece of text, or describe "
                       "the change to the agent.");
            case Kind::unsafeEdit:
                return _("This edit could not be made without risk to the page; describe the change to the agent instead.");
        }
        return {};
    }

private:
    Kind kind_;
};

}  // namespace tarn
