#include "TestSupport.h"
#include "process/ProcessEnvironment.h"
#include "bootstrap/ProjectBootstrapService.h"
#include "process/ProcessGroupGuard.h"
#include "process/ShellCommandRunner.h"
#include "support/Text.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <csignal>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tarn;
using namespace tarn::test;

namespace {

struct Streamed {
    std::vector<std::string> lines;
    ShellCommandOutput output;
};

Streamed stream(const std::string& script, std::optional<Url> folder = std::nullopt) {
    Streamed s;
    s.output = runTask(ShellCommandRunner::runStreaming("/bin/sh", {"-c", script}, folder,
                                                        [&](const std::string& line) { s.lines.push_back(line); }));
    return s;
}

ShellCommandError failure(Task<ShellCommandOutput> task) {
    try {
        runTask(std::move(task));
    } catch (const ShellCommandError& e) {
        return e;
    }
    throw std::runtime_error("the run did not fail");
}

}  // namespace

TEST(ShellCommandRunner, StreamsCompleteLinesAndKeepsTheWholeOutput) {
    auto s = stream("printf 'a\\n'; sleep 0.2; printf 'b'");
    EXPECT_EQ(s.lines, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(s.output.stdout, "a\nb");
    EXPECT_EQ(s.output.exitCode, 0);

    // Terminators of every kind, blank lines, and a trailing partial line of spaces.
    s = stream("printf 'one\\r\\ntwo\\rthree\\n\\n\\nfour\\n   '");
    EXPECT_EQ(s.lines, (std::vector<std::string>{"one", "two", "three", "four"}));

    // Both streams: each complete and in order, apart in the result.
    s = stream("for i in 1 2 3; do echo out$i; echo err$i >&2; done");
    std::vector<std::string> out, err;
    for (auto& l : s.lines) (l.rfind("out", 0) == 0 ? out : err).push_back(l);
    EXPECT_EQ(out, (std::vector<std::string>{"out1", "out2", "out3"}));
    EXPECT_EQ(err, (std::vector<std::string>{"err1", "err2", "err3"}));
    EXPECT_EQ(s.output.stdout, "out1\nout2\nout3\n");
    EXPECT_EQ(s.output.stderr, "err1\nerr2\nerr3\n");
}

TEST(ShellCommandRunner, DecodesWholeCharactersAndReplacesInvalidBytes) {
    // The euro sign's three bytes arrive in separate reads.
    auto s = stream("printf 'price \\342'; sleep 0.1; printf '\\202'; sleep 0.1; printf '\\254 ok\\n'; printf 'bad \\377\\n'");
    EXPECT_EQ(s.lines, (std::vector<std::string>{"price € ok", "bad \uFFFD"}));
    EXPECT_EQ(s.output.stdout, "price € ok\nbad \uFFFD\n");
}

TEST(ShellCommandRunner, ErrorsCarryTheirTexts) {
    auto e = failure(ShellCommandRunner::run("/bin/sh", {"-c", "echo partial; printf '  went wrong \\n' >&2; exit 3"}));
    EXPECT_EQ(e.kind(), ShellCommandError::Kind::nonZeroExit);
    EXPECT_STREQ(e.what(), "went wrong");
    EXPECT_EQ(e.output().exitCode, 3);
    EXPECT_EQ(e.output().stdout, "partial\n");

    EXPECT_STREQ(failure(ShellCommandRunner::run("/bin/sh", {"-c", "exit 1"})).what(), "Command failed with exit code 1.");
    // A child ended by a signal reports the signal's number.
    EXPECT_EQ(failure(ShellCommandRunner::run("/bin/sh", {"-c", "kill -9 $$"})).output().exitCode, 9);

    int calls = 0;
    e = failure(ShellCommandRunner::runStreaming("/no/such/tool", {}, std::nullopt, [&](const std::string&) { ++calls; }));
    EXPECT_EQ(e.kind(), ShellCommandError::Kind::failedToStart);
    EXPECT_EQ(std::string(e.what()).rfind("Failed to start command: ", 0), 0u);
    EXPECT_GT(std::string(e.what()).size(), std::string("Failed to start command: ").size());
    EXPECT_EQ(calls, 0);
    e = failure(ShellCommandRunner::run("/bin/pwd", {}, Url::forFile("/no/such/folder")));
    EXPECT_EQ(e.kind(), ShellCommandError::Kind::failedToStart);
}

TEST(ShellCommandRunner, AProcessLeftBehindDoesNotHoldTheRunOpen) {
    // The background sleep keeps both pipes open long after the shell has ended; the run must
    // still finish (within the helper's bound) with all the shell wrote.
    auto s = stream("echo first; echo second >&2; sleep 299 & echo \"left $!\" >&2; printf last");
    EXPECT_EQ(s.output.stdout, "first\nlast");
    EXPECT_EQ(text::splitLines(s.output.stderr).front(), "second");
    EXPECT_EQ(s.lines.size(), 4u);
    int left = std::stoi(text::splitLines(s.output.stderr).back().substr(5));
    ::kill(left, SIGKILL);

    // In a group of its own, what the child leaves behind ends with the run.
    TempDir dir;
    runTask(ShellCommandRunner::runStreaming("/bin/sh", {"-c", "sleep 299 & echo $! > left; echo $$ > group"},
                                             Url::forFile(dir.path().string()), nullptr, RunControl{.ownProcessGroup = true}));
    int group = std::stoi(readFile(dir / "group"));
    EXPECT_TRUE(runLoopUntil([&] { return !processGroupAlive(group); }, std::chrono::seconds(10)));
}

TEST(ShellCommandRunner, ACancelledRunEndsItsWholeGroup) {
    TempDir dir;
    Cancellation cancel;
    bool threwCancellation = false;
    std::vector<std::string> lines;
    // Every member ignores the polite request, so the kill after the grace period ends them.
    spawn([](TempDir& dir, Cancellation cancel, bool& threw, std::vector<std::string>& lines) -> Task<void> {
        try {
            auto run = ShellCommandRunner::runStreaming(
                "/bin/sh", {"-c", "trap '' TERM; echo $$ > group; sh -c \"trap '' TERM; sleep 300\" & echo started; wait"},
                Url::forFile(dir.path().string()), [&](const std::string& l) { lines.push_back(l); },
                RunControl{.cancellation = cancel});
            co_await run;
        } catch (const CancellationError&) {
            threw = true;
        }
    }(dir, cancel, threwCancellation, lines));
    ASSERT_TRUE(runLoopUntil([&] { return !lines.empty(); }));
    int group = std::stoi(readFile(dir / "group"));
    EXPECT_TRUE(processGroupAlive(group));
    cancel.cancel();
    EXPECT_TRUE(runLoopUntil([&] { return threwCancellation; }, std::chrono::seconds(20)));
    EXPECT_TRUE(runLoopUntil([&] { return !processGroupAlive(group); }, std::chrono::seconds(10)));

    // Cancelled before it starts: it still starts, ends at once and throws.
    EXPECT_THROW(runTask(ShellCommandRunner::runStreaming("/bin/sleep", {"300"}, std::nullopt, nullptr,
                                                          RunControl{.cancellation = cancel})),
                 CancellationError);
}

TEST(ShellCommandRunner, FolderEnvironmentAndInput) {
    TempDir dir("tarn run ü-");
    EXPECT_EQ(runTask(ShellCommandRunner::run("/bin/pwd", {}, Url::forFile(dir.path().string()))).stdout,
              dir.path().string() + "\n");
    EXPECT_EQ(runTask(ShellCommandRunner::run("/bin/pwd", {})).stdout, fs::current_path().string() + "\n");
    // Standard input is empty, so a reader of it ends at once.
    EXPECT_EQ(runTask(ShellCommandRunner::run("/bin/cat", {})).stdout, "");
    auto path = runTask(ShellCommandRunner::run("/bin/sh", {"-c", "printf %s \"$PATH\""})).stdout;
    EXPECT_NE(path.find("/.npm-global/bin"), std::string::npos);
}

TEST(ShellCommandRunner, LargeOutputOnBothStreamsNeverStalls) {
    // 20 MB on each stream, more than any pipe holds.
    auto out = runTask(ShellCommandRunner::run(
        "/bin/sh", {"-c", "head -c 20971520 /dev/zero | tr '\\0' x; head -c 20971520 /dev/zero | tr '\\0' y >&2"}));
    EXPECT_EQ(out.stdout.size(), 20971520u);
    EXPECT_EQ(out.stderr.size(), 20971520u);

    // A 4 MB line without any newline arrives whole at the end.
    auto s = stream("head -c 4194304 /dev/zero | tr '\\0' z");
    ASSERT_EQ(s.lines.size(), 1u);
    EXPECT_EQ(s.lines[0].size(), 4194304u);
}

TEST(DependencyInstall, RunsOnlyWithoutANodeModulesFolder) {
    TempDir dir("tarn install ü-");
    auto context = ProjectContext{Url::forFile(dir.path().string()), SupportedStack::react, PackageManager::npm,
                                  "touch ran && touch 'second step'", "npm run dev",
                                  *Url::parse("http://localhost:3000"), "Lockfile", {}, {}, std::nullopt};
    ProjectBootstrapService service;

    fs::create_directories(dir / "node_modules");
    runTask(service.installDependenciesIfNeeded(context));
    EXPECT_FALSE(fs::exists(dir / "ran"));

    fs::remove(dir / "node_modules");
    writeFile(dir / "node_modules", "a file, not a folder");
    runTask(service.installDependenciesIfNeeded(context));
    EXPECT_TRUE(fs::exists(dir / "ran"));
    EXPECT_TRUE(fs::exists(dir / "second step"));

    context.installCommand = "exit 1";
    try {
        runTask(service.installDependenciesIfNeeded(context));
        FAIL();
    } catch (const ShellCommandError& e) {
        EXPECT_STREQ(e.what(), "Command failed with exit code 1.");
    }
}
