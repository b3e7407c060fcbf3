#pragma once
#include "model/InspectTarget.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Finding a text the page shows among the project's sources, and changing it there: what an
// inline edit and the selection's location stand on.
namespace tarn::rendered {

// Where the one place that renders a text is: the file relative to the root, 1-based line and column.
struct Location {
    std::string file;
    int line = 0;
    int column = 0;
};

// None when no place or several render the text.
std::optional<Location> locateShownText(const std::string& shownText, const std::string& hint, const std::filesystem::path& root);

// The element's source location, from what the page said (a framework's file, made relative to
// the root) or else from its text; what the page said stays when neither is found.
InspectTarget locateElement(InspectTarget target, const std::filesystem::path& root);

// Replaces text the page shows, as the page shows it: found where the project's markup renders it
// (never in code, attributes, import paths or docs), across inline markup, with expressions
// standing for their values, or in a message file; the hinted file first, then app folders.
// Refuses (AgentServiceError) a guess between several places and an edit that would change a value
// or the markup. Gives the file it changed.
std::vector<std::string> replaceShownText(const std::string& shownText, const std::string& newText, const std::string& hint,
                                          const std::filesystem::path& root);

}  // namespace tarn::rendered
