#pragma once
#include "support/Uuid.h"

#include <cstdint>
#include <map>
#include <string>

namespace tarn {

// How the source of a selected element was found.
enum class LocatedBy : std::uint8_t {
    none,
    attribute,  // the element names its file (data-source-file and the like)
    framework,  // the framework's development build says where the element was written
    text,       // the one place in the sources that renders the element's text
    ancestor,   // the nearest enclosing element with a location
};

// A page element that the user clicked in inspect mode.
struct InspectTarget {
    Uuid id;
    std::string selectionKey;
    bool isSelected = false;
    std::string selector;
    std::string tagName;
    std::string textSnippet;
    std::string componentGuess;
    std::string fileGuess;  // relative to the project's root once located
    int line = 0;           // 1-based; 0 when unknown
    int column = 0;
    LocatedBy locatedBy = LocatedBy::none;
    std::string framework;  // for a location the framework gave: its name ("vue", "svelte", "react")
    bool metaClick = false;
    int sameTextCount = 1;  // elements of the page that show the same text, this one included
    // The page's computed values of the properties the style panel edits ("font-size": "18px").
    std::map<std::string, std::string> computedStyle;

    // "src/App.jsx:17", the file alone when its line is unknown, or empty.
    std::string location() const { return fileGuess.empty() || line <= 0 ? fileGuess : fileGuess + ":" + std::to_string(line); }

    friend bool operator==(const InspectTarget&, const InspectTarget&) = default;
};

}  // namespace tarn
