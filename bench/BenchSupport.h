#pragma once
// What the window benchmarks share: a copy of the storefront fixture as a project, free ports,
// children whose report lines are read with a deadline, and the memory of a process tree.
#include "TestSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <csignal>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace fs = std::filesystem;

inline int freePort() { return tarn::test::freeLocalPort(); }

inline std::string readText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The storefront fixture in `folder`, serving on `port`, with its dependencies "installed" and
// committed as a git working copy.
inline void makeStorefront(const fs::path& folder, int port) {
    fs::remove_all(folder);
    fs::create_directories(folder.parent_path());
    fs::copy(std::string(TARN_FIXTURES_DIR) + "/projects/storefront", folder, fs::copy_options::recursive);
    std::string manifest = readText(folder / "package.json");
    auto at = manifest.find("--port 5199");
    manifest.replace(at, 11, "--port " + std::to_string(port));
    std::ofstream(folder / "package.json") << manifest;
    fs::create_directories(folder / "node_modules");
    std::ofstream(folder / ".gitignore") << "node_modules\n.tarn\n";
    std::string git = "cd '" + folder.string() +
                      "' && git init -q -b main . && git -c user.email=b@b -c user.name=B add -A && "
                      "git -c user.email=b@b -c user.name=B commit -qm init";
    if (std::system(git.c_str()) != 0) std::fprintf(stderr, "git failed in %s\n", folder.c_str());
}

// True once a GET of / on the port answers 200.
inline bool pageAnswers(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = false;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const char request[] = "GET / HTTP/1.0\r\nHost: localhost\r\n\r\n";
        if (write(fd, request, sizeof request - 1) > 0) {
            char buffer[64] = {};
            ok = read(fd, buffer, sizeof buffer - 1) > 12 && std::string(buffer).find(" 200 ") != std::string::npos;
        }
    }
    close(fd);
    return ok;
}

// A child in a process group of its own, its standard output read line by line.
class Child {
public:
    Child(const std::vector<std::string>& argv, const fs::path& folder = {}) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(out[1]);
        fd_ = out[0];
    }
    ~Child() { stop(); }
    int pid() const { return pid_; }

    // The next line that starts with `prefix`, or nothing when `limit` passes first.
    std::optional<std::string> waitFor(const std::string& prefix, std::chrono::milliseconds limit) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            auto newline = pending_.find('\n');
            while (newline != std::string::npos) {
                std::string line = pending_.substr(0, newline);
                pending_.erase(0, newline + 1);
                if (line.rfind(prefix, 0) == 0) return line;
                newline = pending_.find('\n');
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                char buffer[4096];
                ssize_t n = read(fd_, buffer, sizeof buffer);
                if (n <= 0) return std::nullopt;
                pending_.append(buffer, static_cast<std::size_t>(n));
            }
        }
        return std::nullopt;
    }

    // Ends the child's group politely, then for good.
    void stop() {
        if (pid_ <= 0) return;
        kill(-pid_, SIGTERM);
        for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) usleep(20000);
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        if (fd_ >= 0) close(fd_);
        pid_ = -1;
        fd_ = -1;
    }

private:
    int pid_ = -1;
    int fd_ = -1;
    std::string pending_;
};

inline std::string statusField(int pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) return line.substr(field.size() + 1);
    }
    return {};
}

// Peak resident memory (KiB) of `root` and those of its descendants whose name starts with one
// of `names` (the web engine's processes; not the dev server, which is the project's).
inline long peakResidentKiB(int root, const std::vector<std::string>& names) {
    std::vector<std::pair<int, int>> parents;  // pid, ppid
    if (DIR* proc = opendir("/proc")) {
        while (dirent* e = readdir(proc)) {
            if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
            int pid = std::atoi(e->d_name);
            parents.emplace_back(pid, std::atoi(statusField(pid, "PPid").c_str()));
        }
        closedir(proc);
    }
    std::vector<int> tree{root};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        for (auto [pid, ppid] : parents) {
            if (ppid == tree[i]) tree.push_back(pid);
        }
    }
    long total = 0;
    for (int pid : tree) {
        std::string name = statusField(pid, "Name");
        name.erase(0, name.find_first_not_of(" \t"));
        bool counted = pid == root || std::any_of(names.begin(), names.end(), [&](const std::string& n) {
                           return name.rfind(n, 0) == 0;
                       });
        if (counted) total += std::atol(statusField(pid, "VmHWM").c_str());
    }
    return total;
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// One row of the table that bench/run.sh prints.
inline void tableRow(const std::string& figure, const std::string& measured, const std::string& baseline,
                     const std::string& result, const std::string& target) {
    std::printf("TABLE\t%s\t%s\t%s\t%s\t%s\n", figure.c_str(), measured.c_str(), baseline.c_str(), result.c_str(),
                target.c_str());
}

inline std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

}  // namespace bench
