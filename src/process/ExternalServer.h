#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// A dev server the user started outside Tarn (in a terminal): a process of theirs whose working
// folder is the project and that listens on a local port.
struct ExternalServer {
    int pid = 0;
    int port = 0;
    std::string command;  // its command line, for saying which one it is

    // Looks through the processes Tarn may see. Prefers the port `preferredPort` when one listens
    // on it (the project's own address), else the lowest; `ignoreGroup` is Tarn's own server's.
    static std::optional<ExternalServer> find(const std::filesystem::path& root, int preferredPort = 0, int ignoreGroup = 0);

    // The local TCP ports a process listens on, from /proc (both address families).
    static std::vector<int> listeningPorts(int pid);
};

}  // namespace tarn
