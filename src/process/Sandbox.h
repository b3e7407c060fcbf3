#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarn::sandbox {

// What a project runs (its install and its dev server) runs inside bubblewrap: the system read
// only, the project (and the repository or workspace it belongs to) writable, the package
// managers' caches writable, the toolchains in the home folder readable, a private /tmp, and the
// rest of the home folder an empty folder: no keys, no tokens, no other projects. The network
// stays.

// Why the sandbox cannot run here (bubblewrap missing, user namespaces off), or nothing when it
// can. Asked of bubblewrap itself once a launch; blocks for a few milliseconds the first time.
std::optional<std::string> unavailable();

// Whether the user lets Tarn sandbox this project (on unless they turned it off for it or for
// every project) and it can.
bool wanted(const std::string& projectRoot);
bool turnedOff(const std::string& projectRoot);
bool turnedOffEverywhere();
// Throw PlatformError when the settings cannot be written.
void setTurnedOff(const std::string& projectRoot, bool off);
void setTurnedOffEverywhere(bool off);

// The folders the sandbox leaves writable for a project: the project, the repository or
// npm/pnpm/yarn workspace root above it, and the package managers' caches that exist.
std::vector<std::string> writableFolders(const std::string& projectRoot);

// What to tell a user whose sandboxed install or server failed on something the sandbox hid or
// kept from writing: the path, and the setting that allows it. Nothing when the failure does not
// look like the sandbox's doing.
std::optional<std::string> explain(const std::string& failure, const std::string& projectRoot);
// The same for a sandboxed agent tool, with its own folders and setting.
std::optional<std::string> explainAgentTool(const std::string& failure, const std::string& projectRoot,
                                            const std::map<std::string, std::string>& environment);

// `command` (the executable first) as bubblewrap runs it for the project.
std::vector<std::string> wrap(const std::vector<std::string>& command, const std::string& projectRoot);

// Agent tools run sandboxed only when the user asks (off by default): the project writable, their
// own sign-in and settings folders writable (~/.claude, ~/.codex…, and those `environment` names),
// and `writable` (where the run leaves its answer), their installation readable, the rest of the
// home folder hidden.
bool agentToolsOn();
bool agentToolsWanted();  // on, and the sandbox can run
void setAgentToolsOn(bool on);
std::vector<std::string> wrapAgentTool(const std::vector<std::string>& command, const std::string& projectRoot,
                                       const std::map<std::string, std::string>& environment,
                                       const std::vector<std::string>& writable = {});

}  // namespace tarn::sandbox
