#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarn::files {

// Replaces the file's contents so that no reader ever sees half of it: a temporary file in the
// same folder is written, flushed to disk and renamed over the target. A replaced file keeps its
// mode; a symbolic link keeps pointing where it did and its target gets the text. On any failure
// the temporary file is removed, the original is untouched, and PlatformError is thrown.
void writeAtomically(const std::filesystem::path& path, std::string_view contents);

// Reads a whole file; throws PlatformError with the system's message (or when it is larger than `limit`).
std::string readFile(const std::filesystem::path& path, std::size_t limit = SIZE_MAX);

// Tarn's folder inside one of the user's base folders: $`variable` when it is an absolute path,
// else `fallback` under the home folder ("XDG_CACHE_HOME", ".cache" → ~/.cache/tarn).
std::filesystem::path userFolder(const char* variable, const char* fallback);

// Creates the folder and its missing parents; throws PlatformError (also when a file is in the way).
void createDirectories(const std::filesystem::path& path);

// Existence test that never throws (a dangling link does not exist).
bool exists(const std::filesystem::path& path);
bool isExecutableFile(const std::string& path);

}  // namespace tarn::files
