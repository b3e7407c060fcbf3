#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarn::projectfiles {

namespace fs = std::filesystem;

// Files larger than this are never read for a search.
constexpr std::uintmax_t largestReadFile = 16 * 1024 * 1024;

// The project's files that `wanted` accepts, depth-first, entries in name order, so the first
// match is the same on every run. Hidden folders and folders that hold no sources of the project's
// own (node_modules, dist, build...) are never descended into; links to folders are not followed,
// and a link to a file counts only when it leads inside the project.
std::vector<fs::path> walk(const fs::path& root, const std::function<bool(const fs::path&)>& wanted);
// The files with a source extension (tsx, vue, svelte, css, md...).
std::vector<fs::path> sourceFiles(const fs::path& root);
// The source files to search for a text: the one the page named first, then the others.
std::vector<fs::path> sourceFilesHintFirst(const std::optional<fs::path>& hinted, const fs::path& root);
// A file's text when it can be searched: no larger than largestReadFile, readable, UTF-8.
std::optional<std::string> readText(const fs::path& file);
// Message files: JSON and YAML inside the project's folders (its root holds configuration).
bool isMessageFile(const fs::path& file, const fs::path& root);
// A file the page named, made a path inside the project; none when it is missing or leads out.
std::optional<fs::path> resolveHint(const std::string& hint, const fs::path& root);
// True when `path`, with every link followed, lies inside `root` (itself resolved).
bool resolvesInside(const fs::path& path, const fs::path& root);
// The file's path relative to the root; the path as given when it lies outside.
std::string relativePath(const fs::path& file, const fs::path& root);
// In one of the folders where an app's own pages and components live (src, app, pages...).
bool inAppFolder(const std::string& relative);
// Notes about the project (README, CHANGELOG, Markdown outside the app's folders), not its pages.
bool isDocument(const std::string& relative);

}  // namespace tarn::projectfiles
