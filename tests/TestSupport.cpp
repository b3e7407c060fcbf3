#include "TestSupport.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <glib.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace tarn::test {

namespace {

// What Tarn keeps in the user's data, configuration and cache folders (checkpoints, settings, plans) goes to
// folders of the test run's own; the agent tools' own configuration (the model Codex names) too.
struct PrivateDataFolder {
    TempDir folder{"tarn-test-data-"};
    PrivateDataFolder() {
        setenv("XDG_DATA_HOME", (folder.path() / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder.path() / "config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (folder.path() / "cache").c_str(), 1);
        setenv("CODEX_HOME", (folder.path() / "codex").c_str(), 1);
        for (const char* made : {"data", "config", "cache"}) std::filesystem::create_directories(folder.path() / made);
    }
};
const PrivateDataFolder privateDataFolder;

}  // namespace

std::string outputOf(const std::string& command, const fs::path& folder) {
    std::string line = "cd '" + folder.string() + "' && " + command;
    std::string result;
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) result.append(buffer, n);
    pclose(pipe);
    return result;
}

TempDir::TempDir(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = fs::canonical(pattern);
}

TempDir::~TempDir() {
    std::error_code ec;
    // Undo read-only modes a test may have set so the removal can go through.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

void writeFile(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeScript(const fs::path& path, const std::string& body) {
    writeFile(path, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) previous_ = old;
    if (value) setenv(name_.c_str(), value->c_str(), 1);
    else unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (previous_) setenv(name_.c_str(), previous_->c_str(), 1);
    else unsetenv(name_.c_str());
}

namespace {
sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}
}  // namespace

int freeLocalPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

bool portAcceptsConnections(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(port);
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

bool runLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    // A wake-up timer so that a loop with nothing to do still looks at the clock.
    guint tick = g_timeout_add(20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    bool ok = true;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ok = false;
            break;
        }
        g_main_context_iteration(nullptr, TRUE);
    }
    g_source_remove(tick);
    return ok;
}

int waitForPidFile(const std::filesystem::path& file, std::chrono::milliseconds limit) {
    int pid = 0;
    runLoopUntil([&] {
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) return false;
        const std::string line = readFile(file);
        if (line.empty() || line.back() != '\n') return false;
        pid = std::atoi(line.c_str());
        return true;
    }, limit);
    return pid;
}

}  // namespace tarn::test
