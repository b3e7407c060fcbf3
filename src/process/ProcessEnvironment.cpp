#include "process/ProcessEnvironment.h"

#include "support/Files.h"
#include "support/Text.h"

#include <glib.h>
#include <set>

namespace tarn::ProcessEnvironment {

namespace {

struct Folders {
    std::optional<std::string> home;  // unset: the user's real home folder
    std::vector<std::string> system{"/opt/homebrew/bin", "/usr/local/bin", "/usr/bin", "/bin", "/usr/sbin", "/sbin"};
    std::vector<std::string> tools{"/opt/homebrew/bin/", "/usr/local/bin/", "/usr/bin/"};
};

Folders& folders() {
    static Folders f;
    return f;
}

std::string homeDirectory() {
    if (folders().home) return *folders().home;
    const char* home = g_get_home_dir();
    return home ? home : "";
}

}  // namespace

struct ScopedToolFolders::Saved {
    Folders previous;
};

ScopedToolFolders::ScopedToolFolders(std::string home, std::vector<std::string> systemFolders,
                                     std::vector<std::string> toolFolders)
    : saved_(new Saved{folders()}) {
    folders().home = std::move(home);
    folders().system = std::move(systemFolders);
    folders().tools = std::move(toolFolders);
}

ScopedToolFolders::~ScopedToolFolders() {
    folders() = saved_->previous;
    delete saved_;
}

std::vector<std::string> additionalDirectories() {
    const std::string home = homeDirectory();
    std::vector<std::string> dirs{home + "/.local/bin", home + "/bin", home + "/.npm-global/bin", home + "/.volta/bin",
                                  home + "/.cargo/bin"};
    dirs.insert(dirs.end(), folders().system.begin(), folders().system.end());
    return dirs;
}

std::vector<std::string> fixedToolPaths(const std::string& name) {
    std::vector<std::string> paths;
    for (const auto& folder : folders().tools) paths.push_back(folder + name);
    return paths;
}

Environment augmentedEnvironment() {
    Environment env;
    gchar** environ = g_get_environ();
    for (gchar** e = environ; e && *e; ++e) {
        std::string entry(*e);
        auto eq = entry.find('=');
        if (eq == std::string::npos) continue;
        env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    g_strfreev(environ);

    auto pieces = text::split(env.count("PATH") ? env["PATH"] : "", ':', /*dropEmpty=*/true);
    for (auto& dir : additionalDirectories()) pieces.push_back(std::move(dir));
    std::vector<std::string> unique;
    std::set<std::string> seen;
    for (auto& piece : pieces) {
        if (seen.insert(piece).second) unique.push_back(std::move(piece));
    }
    env["PATH"] = text::join(unique, ":");
    return env;
}

std::string captureOutput(const std::string& executable, const std::vector<std::string>& arguments,
                          const Environment& environment) {
    ChildOptions options;
    options.arguments.push_back(executable);
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.environment = environment;
    CollectedOutput out = runToEnd(options);
    std::string stdoutText = text::decodeUtf8Lossy(out.stdoutBytes);
    if (out.status == 0) return stdoutText;
    std::string stderrText = text::decodeUtf8Lossy(out.stderrBytes);
    throw ProcessEnvironmentError(stderrText.empty() ? stdoutText : stderrText, out.status);
}

std::optional<std::string> resolveExecutable(const std::string& name, const std::vector<std::string>& fallbackPaths) {
    Environment env = augmentedEnvironment();
    for (const auto& dir : text::split(env["PATH"], ':', true)) {
        std::string candidate = dir + "/" + name;
        if (files::isExecutableFile(candidate)) return candidate;
    }
    for (const auto& path : fallbackPaths) {
        if (files::isExecutableFile(path)) return path;
    }
    std::string output;
    try {
        output = captureOutput("/usr/bin/which", {name}, env);
    } catch (const std::exception&) {
        return std::nullopt;  // not found, or which itself is missing
    }
    auto lines = text::splitLines(output);
    if (lines.empty()) return std::nullopt;
    std::string first = text::trim(lines.front());
    if (!first.empty() && files::isExecutableFile(first)) return first;
    return std::nullopt;
}

}  // namespace tarn::ProcessEnvironment
