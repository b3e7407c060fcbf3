#include "TestSupport.h"
#include "process/DevServerController.h"
#include "process/ProcessEnvironment.h"
#include "process/ProcessGroupGuard.h"
#include "support/Text.h"
#include "support/PlatformError.h"
#include "support/Subprocess.h"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

struct Recorder {
    std::vector<std::string> lines;
    std::vector<int> exits;
    void wire(DevServerController& c) {
        c.onOutputLine = [this](const std::string& l) { lines.push_back(l); };
        c.onExit = [this](int s) { exits.push_back(s); };
    }
    bool has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
};

ProjectContext project(const fs::path& root, const std::string& devCommand) {
    return ProjectContext{Url::forFile(root.string()), SupportedStack::nextJS, PackageManager::npm, "npm install",
                          devCommand, *Url::parse("http://localhost:3000"), "Lockfile", {}, {}, std::nullopt};
}

}  // namespace

TEST(DevServerController, ReportsLinesThenTheEnd) {
    TempDir dir("tarn dev ü-");
    ScopedEnv browser("BROWSER", "firefox");
    DevServerController controller;
    Recorder r;
    r.wire(controller);
    controller.start(project(dir.path(), "pwd; echo \"browser=$BROWSER\"; printf 'a\\r\\n\\r\\nb\\n'; printf '  tail  '"));
    ASSERT_TRUE(runLoopUntil([&] { return !r.exits.empty(); }));
    EXPECT_EQ(r.lines, (std::vector<std::string>{"Dev server started with command: pwd; echo \"browser=$BROWSER\"; "
                                                 "printf 'a\\r\\n\\r\\nb\\n'; printf '  tail  '",
                                                 dir.path().string(), "browser=none", "a", "b", "tail"}));
    EXPECT_EQ(r.exits, std::vector<int>{0});
    EXPECT_FALSE(controller.isRunning());

    // A several-megabyte line without a newline and invalid bytes: whole at the end, replaced.
    r = {};
    r.wire(controller);
    controller.start(project(dir.path(), "printf 'bad \\377\\n'; head -c 4194304 /dev/zero | tr '\\0' z"));
    ASSERT_TRUE(runLoopUntil([&] { return !r.exits.empty(); }));
    ASSERT_EQ(r.lines.size(), 3u);
    EXPECT_EQ(r.lines[1], "bad \uFFFD");
    EXPECT_EQ(r.lines[2].size(), 4194304u);

    // A server that fails by itself is not an error here: its text and status arrive.
    r = {};
    r.wire(controller);
    controller.start(project(dir.path(), "echo 'zsh: command not found: pnpm' >&2; exit 127"));
    ASSERT_TRUE(runLoopUntil([&] { return !r.exits.empty(); }));
    EXPECT_TRUE(r.has("zsh: command not found: pnpm"));
    EXPECT_EQ(r.exits, std::vector<int>{127});
}

TEST(DevServerController, StopEndsTheWholeGroupAndReportsTheSignal) {
    TempDir dir;
    DevServerController controller;
    Recorder r;
    r.wire(controller);
    controller.stop();  // nothing running: nothing happens
    controller.start(project(dir.path(), "sleep 300 & sleep 300 & echo up; wait"));
    ASSERT_TRUE(runLoopUntil([&] { return r.has("up"); }));
    int group = controller.processGroup();
    ASSERT_GT(group, 0);
    EXPECT_GE(liveProcessGroupMembers(group).size(), 3u);
    controller.stop();
    EXPECT_FALSE(controller.isRunning());
    ASSERT_TRUE(runLoopUntil([&] { return !r.exits.empty(); }));
    EXPECT_EQ(r.exits, std::vector<int>{SIGTERM});
    EXPECT_TRUE(runLoopUntil([&] { return liveProcessGroupMembers(group).empty(); }, 5s));

    // A lone command ended by the request reports 15 as well.
    r = {};
    r.wire(controller);
    controller.start(project(dir.path(), "sleep 300"));
    ASSERT_TRUE(runLoopUntil([&] { return !liveProcessGroupMembers(controller.processGroup()).empty(); }));
    controller.stop();
    ASSERT_TRUE(runLoopUntil([&] { return !r.exits.empty(); }));
    EXPECT_EQ(r.exits, std::vector<int>{15});

    // Half a character read before the stop is dropped with the rest: nothing is reported after it.
    r = {};
    r.wire(controller);
    controller.start(project(dir.path(), "printf 'ready\\n\\342\\202'; sleep 300"));
    ASSERT_TRUE(runLoopUntil([&] { return r.has("ready"); }));
    std::size_t before = r.lines.size();
    controller.stop();
    ASSERT_TRUE(runLoopUntil([&] { return !r.exits.empty(); }));
    EXPECT_EQ(r.lines.size(), before);
}

TEST(DevServerController, RestartKeepsTheNewServersOutputFlowing) {
    TempDir dir;
    DevServerController controller;
    Recorder r;
    r.wire(controller);
    controller.start(project(dir.path(), "echo first; sleep 300"));
    ASSERT_TRUE(runLoopUntil([&] { return r.has("first"); }));
    int oldGroup = controller.processGroup();
    controller.start(project(dir.path(), "echo second; sleep 1; echo still-here; sleep 300"));
    EXPECT_EQ(r.lines.back(), "Dev server started with command: echo second; sleep 1; echo still-here; sleep 300");
    ASSERT_TRUE(runLoopUntil([&] { return r.exits.size() == 1; }));  // the old server's end
    EXPECT_TRUE(runLoopUntil([&] { return r.has("still-here"); }));
    EXPECT_TRUE(runLoopUntil([&] { return liveProcessGroupMembers(oldGroup).empty(); }, 5s));
    EXPECT_TRUE(controller.isRunning());
}

TEST(DevServerController, NothingOutlivesTheControllerAndNothingWaitsForIt) {
    TempDir dir;
    int groups[2] = {0, 0};
    int watchers[2] = {0, 0};
    {
        DevServerController controller;
        Recorder r;
        r.wire(controller);
        controller.start(project(dir.path(), "sleep 300 & sleep 300 & echo up; wait"));
        ASSERT_TRUE(runLoopUntil([&] { return r.has("up"); }));
        groups[0] = controller.processGroup();
        watchers[0] = controller.watcherProcess();
        // Then a server whose every member ignores the polite request.
        controller.start(project(dir.path(), "sh -c \"trap '' TERM; echo stubborn; sleep 300; :\" & wait"));
        ASSERT_TRUE(runLoopUntil([&] { return r.has("stubborn"); }));
        groups[1] = controller.processGroup();
        watchers[1] = controller.watcherProcess();
        ASSERT_GE(liveProcessGroupMembers(groups[1]).size(), 2u);
        ASSERT_GT(watchers[1], 0);
        EXPECT_TRUE(liveProcessGroupMembers(watchers[1]).size() == 1u) << "the watcher leads a group of its own";
    }
    // The controller went at once: the stubborn group is still ending, and is killed in the end.
    EXPECT_TRUE(processGroupAlive(groups[1]));
    auto ending = processGroupsEnding();
    EXPECT_NE(std::find(ending.begin(), ending.end(), groups[1]), ending.end());
    EXPECT_TRUE(runLoopUntil([&] { return !processGroupAlive(groups[0]) && !processGroupAlive(groups[1]); }, 10s));
    EXPECT_TRUE(runLoopUntil([&] { return ::kill(watchers[0], 0) != 0 && ::kill(watchers[1], 0) != 0; }, 10s));
    EXPECT_TRUE(processGroupsEnding().empty());
    // Late events of the destroyed controller are harmless.
    bool flushed = false;
    postToMain([&] { flushed = true; });
    runLoopUntil([&] { return flushed; });
}

// Started by the host itself, or by the launcher before an exec and taken over after it: either
// way its output arrives and it ends with a killed host.
TEST(DevServerController, AServerDoesNotOutliveAKilledTarn) {
    for (bool handedOver : {false, true}) {
        SCOPED_TRACE(handedOver ? "handed over across exec" : "started by the window");
        TempDir dir;
        int port = freeLocalPort();
        std::string server = "node -e \"require('http').createServer((q, s) => s.end('ok')).listen(" + std::to_string(port) +
                             ", '127.0.0.1', () => console.log('listening'))\"";
        ChildOptions host;
        host.arguments = {TARN_SERVER_HOST, dir.path().string(), server, dir.path().string()};
        if (handedOver) host.arguments.push_back("--hand-over");
        host.environment = ProcessEnvironment::augmentedEnvironment();
        auto child = launchChild(host);
        // Whatever happens below, the host goes.
        std::unique_ptr<ChildProcess, void (*)(ChildProcess*)> killer(child.get(), [](ChildProcess* c) { ::kill(c->pid(), SIGKILL); });
        ASSERT_TRUE(runLoopUntil([&] { return text::contains(readFile(dir / "lines"), "\nlistening\n"); }));
        std::istringstream ids(readFile(dir / "ids"));
        int group = 0, watcher = 0, handed = -1;
        ids >> group >> watcher >> handed;
        ASSERT_GT(group, 0);
        ASSERT_GT(watcher, 0);
        EXPECT_EQ(handed, handedOver ? group : 0);
        ASSERT_TRUE(portAcceptsConnections(port));

        ::kill(child->pid(), SIGKILL);  // nothing of Tarn's runs at its end
        EXPECT_TRUE(runLoopUntil([&] { return !processGroupAlive(group); }, 10s));
        EXPECT_TRUE(runLoopUntil([&] { return !portAcceptsConnections(port); }, 10s));
        EXPECT_TRUE(runLoopUntil([&] { return !processGroupAlive(watcher); }, 10s));
    }
}

TEST(DevServerController, LaunchFailureStoresNothing) {
    DevServerController controller;
    Recorder r;
    r.wire(controller);
    EXPECT_THROW(controller.start(project("/no/such/folder", "echo hi")), PlatformError);
    EXPECT_FALSE(controller.isRunning());
    EXPECT_EQ(controller.processGroup(), 0);
    EXPECT_TRUE(r.lines.empty());
}
