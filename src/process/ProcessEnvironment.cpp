#include "process/ProcessEnvironment.h"

#include "support/Files.h"
#include "support/GObjectPtr.h"
#include "support/Text.h"

#include <glib.h>
#include <filesystem>
#include <set>

namespace tarn::ProcessEnvironment {

namespace {

struct Folders {
    std::optional<std::string> home;  // unset: the user's real home folder
    std::vector<std::string> system{"/usr/local/bin", "/usr/bin",  "/bin",     "/usr/local/sbin",
                                    "/usr/sbin",      "/sbin",     "/snap/bin", "/home/linuxbrew/.linuxbrew/bin"};
    std::vector<std::string> tools{"/usr/local/bin/", "/usr/bin/"};
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
    : saved_(std::make_unique<Saved>(Saved{folders()})) {
    folders().home = std::move(home);
    folders().system = std::move(systemFolders);
    folders().tools = std::move(toolFolders);
}

ScopedToolFolders::~ScopedToolFolders() {
    folders() = saved_->previous;
}

namespace {

// "v20.11.1" as numbers, for ordering; a name that is not a version orders first.
std::vector<long> versionNumbers(std::string_view name) {
    std::vector<long> numbers;
    if (!name.empty() && name.front() == 'v') name.remove_prefix(1);
    for (const auto& part : text::split(std::string(name), '.', false)) {
        char* end = nullptr;
        long n = std::strtol(part.c_str(), &end, 10);
        if (part.empty() || *end) return {};
        numbers.push_back(n);
    }
    return numbers;
}

// nvm puts node in its shell start-up files, which a login shell that is not interactive never
// reads: the version nvm's default alias names (a prefix such as "20" or "v20.11"), else the newest.
std::optional<std::string> nvmNodeFolder(const std::string& home) {
    const std::filesystem::path versions = std::filesystem::path(home) / ".nvm" / "versions" / "node";
    std::error_code ec;
    if (!std::filesystem::is_directory(versions, ec)) return std::nullopt;
    std::string alias;
    try {
        alias = text::trim(files::readFile(std::filesystem::path(home) / ".nvm" / "alias" / "default", 256));
    } catch (const std::exception&) {
    }
    const std::vector<long> wanted = versionNumbers(alias);
    std::optional<std::pair<std::vector<long>, std::string>> best;
    for (const auto& entry : std::filesystem::directory_iterator(versions, ec)) {
        const std::string name = entry.path().filename().string();
        auto numbers = versionNumbers(name);
        if (numbers.empty()) continue;
        const bool named = numbers.size() >= wanted.size() && std::equal(wanted.begin(), wanted.end(), numbers.begin());
        if (!named) continue;
        if (!best || numbers > best->first) best.emplace(numbers, (entry.path() / "bin").string());
    }
    if (best) return best->second;
    return std::nullopt;
}

}  // namespace

std::string homeFolder() { return homeDirectory(); }

std::vector<std::string> additionalDirectories() {
    const std::string home = homeDirectory();
    // Where Linux users' node, package managers and agent tools live when a desktop session's
    // PATH does not name them: user installs, version managers and their shims.
    std::vector<std::string> dirs{home + "/.local/bin",           home + "/bin",
                                  home + "/.npm-global/bin",      home + "/.volta/bin",
                                  home + "/.bun/bin",             home + "/.local/share/pnpm"};
    if (auto nvm = nvmNodeFolder(home)) dirs.push_back(*nvm);
    for (const char* more : {"/.local/share/fnm/aliases/default/bin", "/.asdf/shims", "/.local/share/mise/shims", "/.cargo/bin"}) {
        dirs.push_back(home + more);
    }
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
    GStrvPtr environ(g_get_environ());
    for (gchar** e = environ.get(); e && *e; ++e) {
        std::string entry(*e);
        auto eq = entry.find('=');
        if (eq == std::string::npos) continue;
        env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }

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

std::optional<std::string> findExecutable(const std::string& name, const std::vector<std::string>& fallbackPaths) {
    for (const auto& dir : text::split(augmentedEnvironment()["PATH"], ':', true)) {
        std::string candidate = dir + "/" + name;
        if (files::isExecutableFile(candidate)) return candidate;
    }
    for (const auto& path : fallbackPaths) {
        if (files::isExecutableFile(path)) return path;
    }
    return std::nullopt;
}

std::optional<std::string> resolveExecutable(const std::string& name, const std::vector<std::string>& fallbackPaths) {
    if (auto found = findExecutable(name, fallbackPaths)) return found;
    Environment env = augmentedEnvironment();
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
