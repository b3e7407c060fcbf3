#pragma once
#include "support/Uuid.h"

#include <string>

namespace tarn {

// A page element that the user clicked in inspect mode.
struct InspectTarget {
    Uuid id;
    std::string selectionKey;
    bool isSelected = false;
    std::string selector;
    std::string tagName;
    std::string textSnippet;
    std::string componentGuess;
    std::string fileGuess;
    bool metaClick = false;

    friend bool operator==(const InspectTarget&, const InspectTarget&) = default;
};

}  // namespace tarn
