#pragma once
#include "support/PlatformError.h"
#include "support/Subprocess.h"

#include <optional>
#include <memory>
#include <string>
#include <vector>

namespace tarn {

// A capture whose child exited with a non-zero status: the code is the status, the description
// the child's standard error (or its standard output when that is empty).
class ProcessEnvironmentError : public PlatformError {
public:
    ProcessEnvironmentError(const std::string& description, int status) : PlatformError(description, status) {}
    static constexpr const char* domain = "ProcessEnvironment";
};

// The environment every child gets, with a search path that also covers the usual tool folders,
// and the lookup of executables through it. Stateless: every call reads the environment afresh.
namespace ProcessEnvironment {

Environment augmentedEnvironment();

// Runs one child synchronously with exactly `environment`; returns its standard output.
std::string captureOutput(const std::string& executable, const std::vector<std::string>& arguments,
                          const Environment& environment);

std::optional<std::string> resolveExecutable(const std::string& name, const std::vector<std::string>& fallbackPaths);
// The search path, then the fallback paths; unlike resolveExecutable, never asks `which` (a child
// for every tool that is not installed, and it searches the same path).
std::optional<std::string> findExecutable(const std::string& name, const std::vector<std::string>& fallbackPaths);

// The user's home folder (a test's, while it sets one).
std::string homeFolder();

// The folders searched after the inherited PATH, in order.
std::vector<std::string> additionalDirectories();

// The fixed tool folders ("/usr/local/bin/", "/usr/bin/") each followed by `name`.
std::vector<std::string> fixedToolPaths(const std::string& name);

// Lets tests point the home folder, the system folders and the fixed tool folders elsewhere, so
// that what is "installed" is theirs to decide. Restores the previous values when destroyed.
class ScopedToolFolders {
public:
    ScopedToolFolders(std::string home, std::vector<std::string> systemFolders, std::vector<std::string> toolFolders);
    ~ScopedToolFolders();
    ScopedToolFolders(const ScopedToolFolders&) = delete;
    ScopedToolFolders& operator=(const ScopedToolFolders&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

}  // namespace ProcessEnvironment
}  // namespace tarn
