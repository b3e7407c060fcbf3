#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace tarn::errorReports {

// A console line of level error, or a server line that reads as a build error: a failed compile
// or import, a syntax or type error, a line of a stack trace.
bool isConsoleError(const std::string& consoleLine);
bool readsAsBuildError(const std::string& serverLine);

// The first place in the text (a stack frame, a compiler's "file:line:column") that is a file of
// the project: relative to its root, with the line.
struct Place {
    std::string file;
    int line = 0;
    int column = 0;
};
std::optional<Place> placeNamed(const std::string& text, const std::filesystem::path& root);

// The request the composer gets: the error, the route, the place.
std::string fixRequest(const std::string& error, const std::string& route, const std::optional<Place>& place);

}  // namespace tarn::errorReports
