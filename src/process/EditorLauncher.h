#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarn::editor {

// The command that opens `file` at `line` (0: no line) in an editor. With a command of the user's
// own, "{file}" and "{line}" in it stand for the two (the file is added at the end when it names
// neither); otherwise the editor is the desktop's default application for the file, given the line
// the way it takes one. Empty when the default application takes no line, or the user's command
// cannot be parsed: then the file is opened without one.
std::vector<std::string> commandFor(const std::string& userCommand, const std::string& defaultExecutable,
                                    const std::string& file, int line);

// The setting that holds the user's editor command.
constexpr const char* settingsGroup = "editor";
constexpr const char* commandKey = "command";

// Opens the file in the user's editor, which lives on after Tarn. Throws PlatformError with the
// system's reason when no editor can be started.
void open(const std::filesystem::path& file, int line);

}  // namespace tarn::editor
