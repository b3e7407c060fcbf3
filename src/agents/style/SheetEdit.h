#pragma once
#include "model/InspectTarget.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The style sheets of a project that does not style with utility classes: the rule that gives an
// element a value, found in the file the page has it from, and the sheet a rule of the element's
// own goes into.
namespace tarn::style::sheets {

struct Edit {
    std::filesystem::path file;
    std::string content;  // the file's whole new text
    int line = 0;         // of the rule changed or added
};

// The file a sheet of the page comes from, as the dev server names it (Vite: the file's path, with
// a query for a Vue or Svelte block); none for an address or a file outside the project.
std::optional<std::filesystem::path> sheetFile(const std::string& sheet, const std::filesystem::path& root);

// The rule the page says gives the value, with the properties set: found in its sheet's file, or
// in the one project file that has it when the page does not name the file. None when it cannot
// be found, or is found in several places.
std::optional<Edit> editRule(const std::filesystem::path& root, const StyleSource& source, const std::vector<std::string>& properties,
                             const std::string& value);

// The line of the rule the page names in its sheet's text.
std::optional<int> ruleLine(const std::filesystem::path& file, const std::string& content, const StyleSource& source, const std::string& property);

// Where a rule of the element's own goes: the <style> block of its Vue or Svelte file, else the
// style sheet its file imports, else one its page already takes rules from.
std::optional<std::filesystem::path> ownSheet(const std::filesystem::path& root, const std::filesystem::path& elementFile,
                                              const std::string& elementSource, const InspectTarget& target);

// The sheet's text with a rule for `selector` setting the properties: the rule it has for it
// changed, else a new one at the end (of its first <style> block, or a new block).
Edit setOwnRule(const std::filesystem::path& file, const std::string& content, const std::string& selector,
                const std::vector<std::string>& properties, const std::string& value);

// Whether the sheet has a rule for the selector.
bool hasRule(const std::filesystem::path& file, const std::string& content, const std::string& selector);

}  // namespace tarn::style::sheets
