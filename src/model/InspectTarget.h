#pragma once
#include "support/Uuid.h"

#include <array>
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

// Where the page's value of one style property of an element comes from.
struct StyleSource {
    enum class Kind : std::uint8_t { unknown, inline_, rule, inherited, defaulted };
    Kind kind = Kind::unknown;
    // For a rule: its selector as the page has it, the file or address of its sheet (as the dev
    // server names it), whether it is in a cascade layer, its specificity, how many elements of
    // the page it styles, and whether all of them come from the element's source place.
    std::string selector;
    std::string matched;    // the one of its selectors that matches the element
    std::string condition;  // the media query of the @media it is in, if it is
    std::string sheet;
    bool layered = false;
    std::array<int, 3> specificity{};
    int reach = 1;
    bool sameSource = false;

    friend bool operator==(const StyleSource&, const StyleSource&) = default;
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
    std::map<std::string, StyleSource> styleSources;  // by the same property names
    int placeCount = 1;  // elements of the page from the element's source place, this one included

    // "src/App.jsx:17", the file alone when its line is unknown, or empty.
    std::string location() const { return fileGuess.empty() || line <= 0 ? fileGuess : fileGuess + ":" + std::to_string(line); }

    friend bool operator==(const InspectTarget&, const InspectTarget&) = default;
};

}  // namespace tarn
