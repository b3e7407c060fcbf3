#include "process/ExternalServer.h"

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tarn {

namespace {

// Socket inode to port, for sockets listening on a loopback or any-address.
std::map<unsigned long, int> listeningSockets() {
    std::map<unsigned long, int> sockets;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);  // the heading
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
            unsigned long inode = 0;
            if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode)) continue;
            if (state != "0A") continue;  // LISTEN
            const auto colon = local.find(':');
            if (colon == std::string::npos) continue;
            const std::string address = local.substr(0, colon);
            // Loopback (127.x, ::1, ::ffff:127.x) or every address: reachable on localhost.
            const bool local4 = address.size() == 8 && (address == "00000000" || address.substr(6) == "7F");
            const bool local6 = address.size() == 32 && (address == std::string(32, '0') || address == "00000000000000000000000001000000" ||
                                                        (address.substr(0, 24) == "0000000000000000FFFF0000" && address.substr(30) == "7F"));
            if (!local4 && !local6) continue;
            sockets[inode] = static_cast<int>(std::stoul(local.substr(colon + 1), nullptr, 16));
        }
    }
    return sockets;
}

std::vector<int> portsOf(int pid, const std::map<unsigned long, int>& sockets) {
    std::vector<int> ports;
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* fds = opendir(folder.c_str());
    if (!fds) return ports;
    while (dirent* e = readdir(fds)) {
        char target[64];
        const ssize_t n = readlink((folder + "/" + e->d_name).c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        target[n] = '\0';
        unsigned long inode = 0;
        if (std::sscanf(target, "socket:[%lu]", &inode) != 1) continue;
        if (auto found = sockets.find(inode); found != sockets.end()) ports.push_back(found->second);
    }
    closedir(fds);
    std::sort(ports.begin(), ports.end());
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    return ports;
}

std::string commandLineOf(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!text.empty() && text.back() == '\0') text.pop_back();
    std::replace(text.begin(), text.end(), '\0', ' ');
    return text.substr(0, 200);
}

}  // namespace

std::vector<int> ExternalServer::listeningPorts(int pid) { return portsOf(pid, listeningSockets()); }

std::optional<ExternalServer> ExternalServer::find(const fs::path& root, int preferredPort, int ignoreGroup) {
    std::error_code ec;
    const fs::path project = fs::canonical(root, ec);
    if (ec) return std::nullopt;
    std::map<unsigned long, int> sockets;
    bool read = false;
    std::optional<ExternalServer> best;
    DIR* proc = opendir("/proc");
    if (!proc) return std::nullopt;
    const int self = getpid();
    while (dirent* e = readdir(proc)) {
        if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
        const int pid = std::atoi(e->d_name);
        if (pid == self) continue;
        // Only processes whose working folder can be read: the user's own.
        char cwd[4096];
        const ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/cwd").c_str(), cwd, sizeof cwd - 1);
        if (n <= 0) continue;
        cwd[n] = '\0';
        if (project != fs::path(cwd)) continue;
        if (ignoreGroup > 0 && getpgid(pid) == ignoreGroup) continue;
        if (!read) {
            sockets = listeningSockets();
            read = true;
        }
        for (int port : portsOf(pid, sockets)) {
            const bool better = !best || (port == preferredPort && best->port != preferredPort) ||
                                (best->port != preferredPort && port < best->port);
            if (better) best = ExternalServer{pid, port, commandLineOf(pid)};
        }
    }
    closedir(proc);
    return best;
}

}  // namespace tarn
