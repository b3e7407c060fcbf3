#include "process/Sandbox.h"
#include "support/Translate.h"

#include "process/ProcessEnvironment.h"
#include "support/GObjectPtr.h"
#include "support/Json.h"
#include "support/Settings.h"
#include "support/Text.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <glib.h>
#include <mutex>

namespace fs = std::filesystem;

namespace tarn::sandbox {

namespace {

bool isDirectory(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

bool present(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

// A package.json that declares workspaces, read only as far as its text says so.
bool declaresWorkspaces(const fs::path& folder) {
    std::ifstream in(folder / "package.json");
    if (!in) return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto parsed = json::Json::parse(text, nullptr, false);
    return parsed.is_object() && parsed.contains("workspaces");
}

// Where the project's repository or workspace begins, when above it: hoisted node_modules and
// the lockfile live there. Never the home folder or one above it.
std::optional<fs::path> enclosingRoot(const fs::path& project, const fs::path& home) {
    for (fs::path up = project.parent_path(); !up.empty() && up != up.root_path(); up = up.parent_path()) {
        if (!home.empty() && (up == home || std::mismatch(up.begin(), up.end(), home.begin(), home.end()).first == up.end())) break;
        if (present(up / ".git") || present(up / "pnpm-workspace.yaml") || declaresWorkspaces(up)) return up;
    }
    return std::nullopt;
}

// In the home folder: what package managers write to (kept writable) and where toolchains live
// (readable). Not ~/.local as a whole: ~/.local/share holds keyrings.
constexpr const char* caches[] = {".npm", ".cache/yarn", ".yarn/berry", ".cache/pnpm", ".local/share/pnpm", ".bun/install/cache", ".cache/node-gyp"};
constexpr const char* toolchains[] = {".nvm", ".fnm", ".local/share/fnm", ".volta", ".asdf", ".local/share/mise", ".bun", ".local/bin", ".npm-global", "bin"};

// A system package: looked for where the system keeps it, then on the search path Tarn started with.
std::optional<std::string> bubblewrap() {
    for (const char* path : {"/usr/bin/bwrap", "/usr/local/bin/bwrap"}) {
        if (g_file_test(path, G_FILE_TEST_IS_EXECUTABLE)) return path;
    }
    GCharPtr found(g_find_program_in_path("bwrap"));
    return found ? std::optional<std::string>(found.get()) : std::nullopt;
}

std::vector<std::string> projectsTurnedOff() {
    std::vector<std::string> out;
    auto text = settings::get("Sandbox", "off-projects");
    if (!text) return out;
    auto parsed = json::Json::parse(*text, nullptr, false);
    if (!parsed.is_array()) return out;
    for (const auto& p : parsed) {
        if (p.is_string()) out.push_back(p.get<std::string>());
    }
    return out;
}

}  // namespace

std::optional<std::string> unavailable() {
    static std::once_flag once;
    static std::optional<std::string> why;
    std::call_once(once, [] {
        auto bwrap = bubblewrap();
        if (!bwrap) {
            why = _("bubblewrap (bwrap) is not installed");
            return;
        }
        try {
            ProcessEnvironment::captureOutput(*bwrap, {"--ro-bind", "/", "/", "--dev", "/dev", "--proc", "/proc", "--unshare-pid", "/bin/true"},
                                              ProcessEnvironment::augmentedEnvironment());
        } catch (const std::exception& e) {
            // Its first line, cut at a character's start: ICU's grapheme tables are not loaded
            // for this one message (the launcher links this file and should not need them).
            const auto lines = text::splitLines(e.what());
            std::string line = lines.empty() ? std::string() : text::trim(lines.front());
            if (line.size() > 400) {
                std::size_t cut = 400;
                while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
                line.resize(cut);
            }
            why = tr::format(_("bubblewrap cannot make a sandbox here (%1)"), {line});
        }
    });
    return why;
}

bool turnedOffEverywhere() { return settings::get("Sandbox", "everywhere") == std::optional<std::string>("off"); }

bool turnedOff(const std::string& projectRoot) {
    const auto off = projectsTurnedOff();
    return std::find(off.begin(), off.end(), projectRoot) != off.end();
}

bool wanted(const std::string& projectRoot) { return !turnedOffEverywhere() && !turnedOff(projectRoot) && !unavailable(); }

void setTurnedOff(const std::string& projectRoot, bool off) {
    auto list = projectsTurnedOff();
    std::erase(list, projectRoot);
    if (off) list.push_back(projectRoot);
    settings::set("Sandbox", "off-projects", json::Json(list).dump());
}

void setTurnedOffEverywhere(bool off) { settings::set("Sandbox", "everywhere", off ? "off" : "on"); }

std::vector<std::string> writableFolders(const std::string& projectRoot) {
    const fs::path home = ProcessEnvironment::homeFolder();
    std::vector<std::string> out{projectRoot};
    if (auto root = enclosingRoot(projectRoot, home)) out.push_back(root->string());
    // The caches of the home folder the command is told of, too, when it is another.
    std::vector<fs::path> homes{home};
    if (const char* told = g_getenv("HOME"); told && *told && fs::path(told) != home) homes.emplace_back(told);
    for (const auto& h : homes) {
        for (const char* cache : caches) {
            if (!h.empty() && isDirectory(h / cache)) out.push_back((h / cache).string());
        }
    }
    return out;
}

namespace {

// Beyond what every sandboxed command gets: what it may read, and what it may write.
struct Extra {
    std::vector<std::string> readable, writable;
};

std::vector<std::string> wrapWith(const std::vector<std::string>& command, const std::string& projectRoot, const Extra& extra) {
    const std::string home = ProcessEnvironment::homeFolder();
    // A home folder that does not exist has nothing to hide.
    const bool ownHome = !home.empty() && home != "/" && isDirectory(home);
    const auto inHome = [&](const std::string& path) { return ownHome && path.starts_with(home + "/"); };
    std::vector<std::string> args{bubblewrap().value_or("bwrap"), "--ro-bind", "/", "/", "--dev", "/dev", "--proc", "/proc", "--tmpfs", "/tmp"};
    const auto add = [&](const char* how, const std::string& path) {
        for (const std::string& a : {std::string(how), path, path}) args.push_back(a);
    };
    // The rest of the search path Tarn gives the command, where the sandbox would hide it. Outside
    // the home folder a folder goes with the one above it (a bin folder's tools link into ../lib);
    // inside, only itself: ~/.cargo/bin's parent holds a registry token. Those outside go first:
    // the home folder is hidden after them, in case one holds it.
    std::vector<std::string> inside, outside;
    for (const auto& entry : text::split(ProcessEnvironment::augmentedEnvironment()["PATH"], ':', true)) {
        if (!(entry.starts_with("/tmp/") || inHome(entry)) || !isDirectory(entry)) continue;
        std::string folder = fs::path(entry).parent_path().string();
        if (inHome(entry) || folder == "/tmp" || !folder.starts_with("/tmp/")) folder = entry;
        (inHome(folder) ? inside : outside).push_back(folder);
    }
    for (const auto& folder : outside) add("--ro-bind", folder);
    // The session bus reaches the keyring; the runtime folder holds its socket.
    if (const char* runtime = g_getenv("XDG_RUNTIME_DIR"); runtime && *runtime && isDirectory(runtime)) {
        for (const char* a : {"--tmpfs", runtime}) args.push_back(a);
    }
    if (ownHome) {
        for (const char* a : {"--tmpfs", home.c_str()}) args.push_back(a);
        for (const char* tool : toolchains) {
            if (isDirectory(home + "/" + tool)) add("--ro-bind", home + "/" + tool);
        }
        for (const auto& folder : inside) add("--ro-bind", folder);
    }
    for (const auto& folder : writableFolders(projectRoot)) add("--bind", folder);
    for (const auto& path : extra.readable) add("--ro-bind", path);
    for (const auto& path : extra.writable) add("--bind", path);
    // A process namespace of its own: the project sees no other process (nor its environment). Not
    // --die-with-parent: the server's group gets the polite request first and ends in its own time;
    // the group's guard kills what is left, the namespace's first process with it.
    for (const char* a : {"--unshare-pid", "--unsetenv", "DBUS_SESSION_BUS_ADDRESS", "--chdir"}) args.push_back(a);
    args.push_back(projectRoot);
    args.push_back("--");
    args.insert(args.end(), command.begin(), command.end());
    return args;
}

// Where agent tools keep their sign-in, settings and sessions, in the home folder.
constexpr const char* agentFolders[] = {".claude", ".claude.json", ".cache/claude-cli-nodejs", ".config/claude", ".codex", ".gemini", ".qwen",
                                        ".config/opencode", ".local/share/opencode", ".local/state/opencode", ".cache/opencode"};
// The same, where the tools are told of another place.
constexpr const char* agentFolderVariables[] = {"CLAUDE_CONFIG_DIR", "CODEX_HOME", "GEMINI_CLI_HOME"};

std::optional<std::string> explainWith(const std::string& failure, std::vector<std::string> writable, const char* setting) {
    const std::string home = ProcessEnvironment::homeFolder();
    // The first path the failure names that the sandbox hides (in the home folder) or keeps
    // read-only (anywhere outside the writable folders, when the failure says so).
    const bool readOnly = text::contains(failure, "EROFS") || text::contains(failure, "Read-only file system");
    std::optional<std::string> named;
    for (std::size_t at = failure.find('/'); at != std::string::npos && !named; at = failure.find('/', at + 1)) {
        if (at > 0 && !std::isspace(static_cast<unsigned char>(failure[at - 1])) && failure[at - 1] != '\'' && failure[at - 1] != '"') continue;
        // A quoted path ends at its quote (it may hold spaces); a bare one at a space.
        const char quote = at > 0 && (failure[at - 1] == '\'' || failure[at - 1] == '"') ? failure[at - 1] : '\0';
        std::size_t end = quote ? failure.find_first_of(std::string(1, quote) + "\n", at) : failure.find_first_of(" \t\n'\":,", at);
        const std::string path = failure.substr(at, end == std::string::npos ? std::string::npos : end - at);
        const bool inWritable = std::any_of(writable.begin(), writable.end(), [&](const std::string& w) {
            return path == w || path.starts_with(w + "/");
        });
        const bool inHome = !home.empty() && home != "/" && path.starts_with(home + "/");
        if (!inWritable && (inHome || readOnly)) named = path;
    }
    if (!named) return std::nullopt;
    return tr::format(_(setting), {readOnly ? _("writing to") : _("reading"), *named});
}

// What an agent tool may use beyond the project: its own folders and `writable`, and its
// installation.
Extra agentExtra(const std::vector<std::string>& command, const std::string& projectRoot, const std::map<std::string, std::string>& environment,
                 const std::vector<std::string>& writable) {
    Extra extra{{}, writable};
    const std::string home = ProcessEnvironment::homeFolder();
    for (const char* folder : agentFolders) {
        if (!home.empty() && present(fs::path(home) / folder)) extra.writable.push_back((fs::path(home) / folder).string());
    }
    for (const char* variable : agentFolderVariables) {
        auto told = environment.find(variable);
        if (told != environment.end() && fs::path(told->second).is_absolute() && present(told->second)) extra.writable.push_back(told->second);
    }
    // The tool's own installation: an npm package needs the packages beside it (Codex runs its
    // platform's binary from one), a native build its version folder.
    std::error_code ec;
    if (!command.empty() && fs::path(command.front()).is_absolute()) {
        const fs::path real = fs::canonical(command.front(), ec);
        if (!ec) {
            fs::path folder = real.parent_path();
            for (fs::path up = folder; up.has_relative_path(); up = up.parent_path()) {
                if (up.filename() == "node_modules") {
                    folder = up;
                    break;
                }
            }
            // Elsewhere the system is readable anyway, and inside the project writable.
            const std::string path = folder.string();
            const bool hidden = path.starts_with("/tmp/") || (!home.empty() && home != "/" && path.starts_with(home + "/"));
            if (hidden && path != projectRoot && !path.starts_with(projectRoot + "/")) extra.readable.push_back(path);
        }
    }
    return extra;
}


}  // namespace

std::optional<std::string> explain(const std::string& failure, const std::string& projectRoot) {
    return explainWith(failure, writableFolders(projectRoot),
                       N_("The sandbox keeps the project's commands from %1 %2. If the project needs it, turn on “This Project Needs My "
                          "Home Folder” in Preferences."));
}

std::optional<std::string> explainAgentTool(const std::string& failure, const std::string& projectRoot,
                                            const std::map<std::string, std::string>& environment) {
    auto writable = writableFolders(projectRoot);
    const auto extra = agentExtra({}, projectRoot, environment, {});
    writable.insert(writable.end(), extra.writable.begin(), extra.writable.end());
    return explainWith(failure, writable,
                       N_("The sandbox keeps agent tools from %1 %2. If the tool needs it, turn off “Run Agent Tools in a Sandbox” "
                          "in Preferences."));
}

std::vector<std::string> wrap(const std::vector<std::string>& command, const std::string& projectRoot) {
    return wrapWith(command, projectRoot, {});
}

bool agentToolsOn() { return settings::get("Sandbox", "agent-tools") == std::optional<std::string>("on"); }

bool agentToolsWanted() { return agentToolsOn() && !unavailable(); }

void setAgentToolsOn(bool on) { settings::set("Sandbox", "agent-tools", on ? "on" : "off"); }

std::vector<std::string> wrapAgentTool(const std::vector<std::string>& command, const std::string& projectRoot,
                                       const std::map<std::string, std::string>& environment,
                                       const std::vector<std::string>& writable) {
    return wrapWith(command, projectRoot, agentExtra(command, projectRoot, environment, writable));
}

}  // namespace tarn::sandbox
