#include "WorkspaceFixture.h"
#include "process/ExternalServer.h"
#include "process/ProcessGroupGuard.h"
#include "support/Subprocess.h"

#include <csignal>
#include <fstream>
#include <sys/stat.h>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
class Opening : public WorkspaceFixture {};
}  // namespace

TEST_F(Opening, TheToolsAreAskedWithoutHoldingUpTheWindow) {
    // A tool slow to say its version: the controller is there at once, checking, then shows the answer.
    installAgents({"claude"});
    replay("claude.version-delay", "2");
    vm = AppViewModel::create();
    EXPECT_EQ(*vm->runtimes().agentStatusLabel, "Agents: checking...");
    EXPECT_FALSE(vm->agentsKnown());
    EXPECT_TRUE(vm->runtimes().availableAgentRuntimes->empty());
    ASSERT_TRUE(runLoopUntil([&] { return vm->agentsKnown(); }));
    EXPECT_EQ(*vm->runtimes().agentStatusLabel, "Codex: not installed  \u2022  Claude Code: 2.1.3 (Claude Code)");
    EXPECT_EQ(*vm->runtimes().modelLabel, "Claude Code");
}

TEST_F(Opening, ConstructionReflectsTheInstalledTools) {
    make();
    EXPECT_EQ(*vm->runtimes().agentStatusLabel, "Codex: not installed  \u2022  Claude Code: not installed");
    EXPECT_TRUE(vm->runtimes().availableAgentRuntimes->empty());
    EXPECT_EQ(*vm->runtimes().selectedAgentRuntime, AgentRuntime::codex);
    EXPECT_EQ(*vm->runtimes().modelLabel, "Local Agent");
    ASSERT_EQ(vm->chat().messages->size(), 1u);
    EXPECT_EQ(vm->chat().messages->front().role, AgentRole::assistant);
    EXPECT_EQ(vm->chat().messages->front().content,
              "Open a project folder and I will boot the environment, run the app, and apply UI changes from this panel.");
    EXPECT_EQ(*vm->project().projectPathLabel, "Open a project to start");
    EXPECT_EQ(*vm->browser().browserAddress, "http://localhost:3000");
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::idle);

    // Only Claude Code: the selection moves to it, and an unavailable choice is ignored.
    installAgents({"claude"});
    make();
    EXPECT_EQ(*vm->runtimes().agentStatusLabel, "Codex: not installed  \u2022  Claude Code: 2.1.3 (Claude Code)");
    EXPECT_EQ(*vm->runtimes().selectedAgentRuntime, AgentRuntime::claudeCode);
    EXPECT_EQ(*vm->runtimes().modelLabel, "Claude Code");
    vm->runtimes().select(AgentRuntime::codex);
    EXPECT_EQ(*vm->runtimes().selectedAgentRuntime, AgentRuntime::claudeCode);

    // Both: Codex first; a choice of Claude Code survives the next probe. A tool whose version
    // probe fails counts as not installed.
    installAgents({"codex", "claude"});
    make();
    EXPECT_EQ(*vm->runtimes().selectedAgentRuntime, AgentRuntime::codex);
    EXPECT_EQ(*vm->runtimes().modelLabel, "Codex");
    // The model Codex is configured with, from the top of its configuration, not a provider's table.
    writeFile(dir / "codex-home" / "config.toml", "# mine\nmodel = \"gpt-5.5\"\n[profiles.x]\nmodel = \"other\"\n");
    vm->runtimes().refresh();
    EXPECT_EQ(*vm->runtimes().modelLabel, "gpt-5.5");
    vm->runtimes().select(AgentRuntime::claudeCode);
    vm->runtimes().refresh();
    EXPECT_EQ(*vm->runtimes().selectedAgentRuntime, AgentRuntime::claudeCode);
    replay("claude.version-status", "1");
    vm->runtimes().refresh();
    EXPECT_EQ(*vm->runtimes().agentStatusLabel, "Codex: codex-cli 0.177.0  \u2022  Claude Code: not installed");
    EXPECT_EQ(*vm->runtimes().selectedAgentRuntime, AgentRuntime::codex);
}

TEST_F(Opening, AProjectOpensPlansStartsAndStops) {
    writeFile(project / "dev.sh",
              "echo '  VITE v7.1.0  ready in 312 ms'\necho\necho '  \033[32m\342\236\234\033[39m  Local:   "
              "\033[36mhttp://localhost:\033[1m5174\033[22m/\033[39m'\n"
              "echo '  \342\236\234  Network: http://192.168.1.20:5174/'\nexec sleep 300\n");
    writeProject("sh ./dev.sh");
    make();
    int announcements = 0;
    auto connection = vm->chat().messages.observe([&] { ++announcements; });
    runTask(vm->loadProject(root()));
    EXPECT_GT(announcements, 0);

    EXPECT_EQ(*vm->project().projectPathLabel, project.string());
    EXPECT_EQ(*vm->project().stackLabel, "Vite + React via npm (Lockfile)");
    EXPECT_EQ(*vm->project().installCommandLabel, "npm install");
    EXPECT_EQ(*vm->project().devCommandLabel, "npm run dev");
    EXPECT_EQ(*vm->project().instructionsPathLabel, (project / ".tarn" / "instructions.md").string());
    EXPECT_NE(readFile(project / ".tarn" / "instructions.md").find("Source: Local fallback"), std::string::npos);
    EXPECT_EQ(vm->projectContext()->instructionsFile, Url::forFile((project / ".tarn" / "instructions.md").string()));
    EXPECT_EQ(systemMessages(), (std::vector<std::string>{
                                    "Project loaded. Building runtime instructions...",
                                    "No CLI runtime detected (Codex or Claude Code). Using local startup command detection.",
                                    "Saved startup instructions to .tarn/instructions.md",
                                    "Checking dependencies with `npm install`...",
                                    "Starting dev server with `npm run dev`...",
                                }));
    ASSERT_EQ(vm->versions().versions->size(), 1u);
    EXPECT_EQ(vm->versions().versions->front().name, "main");
    EXPECT_TRUE(vm->versions().versions->front().isCurrent);

    // The server announces its address: colour codes are gone from the log and the address.
    ASSERT_TRUE(runLoopUntil([&] { return vm->browser().currentURL->has_value() && (*vm->browser().currentURL)->port() == 5174; }, 20s))
        << text::join(log(), "\n");
    EXPECT_EQ(*vm->browser().browserAddress, "http://localhost:5174/");
    EXPECT_TRUE(logged("  \u279C  Local:   http://localhost:5174/"));
    ASSERT_TRUE(runLoopUntil([&] { return logged("  \u279C  Network: http://192.168.1.20:5174/"); }));
    EXPECT_EQ(*vm->browser().browserAddress, "http://localhost:5174/");
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::running);
    EXPECT_EQ(log().front(), "Dev server started with command: npm run dev");
    // The preview was asked for the announced page once, and nothing reloaded it.
    EXPECT_EQ(std::count(preview.loads.begin(), preview.loads.end(), "http://localhost:5174/"), 1);
    EXPECT_EQ(preview.loads.back(), "http://localhost:5174/");
    EXPECT_EQ(preview.reloads, 0);

    int group = vm->server().controller().processGroup();
    vm->server().stop();
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::stopped);
    EXPECT_EQ(log().back(), "Server stop requested.");
    ASSERT_TRUE(runLoopUntil([&] { return text::startsWith(lastLog(), "Server stopped (exit "); }));
    EXPECT_EQ(log().back(), "Server stopped (exit 15).");
    EXPECT_TRUE(runLoopUntil([&] { return !processGroupAlive(group); }, 10s));

    // Opening again empties the log and the selection but keeps the chat.
    vm->handleInspectSelection(target("h1", "Hello shop"));
    std::size_t chat = vm->chat().messages->size();
    runTask(vm->loadProject(root()));
    EXPECT_TRUE(vm->selection().selectedInspectTargets->empty());
    EXPECT_FALSE(vm->selection().selectedInspectTarget->has_value());
    EXPECT_GT(vm->chat().messages->size(), chat);
    EXPECT_FALSE(logged("Server stop requested."));
}

TEST_F(Opening, FailuresToOpenSayWhy) {
    make();
    // No package.json: one message, the failed state, nothing else.
    runTask(vm->loadProject(root()));
    EXPECT_EQ(systemMessages(), std::vector<std::string>{"Project bootstrap failed: No package.json found in this folder."});
    EXPECT_EQ(*vm->server().serverState, ServerRuntimeState::failed("No package.json found in this folder."));
    EXPECT_FALSE(vm->projectContext());
    EXPECT_EQ(*vm->project().projectPathLabel, "Open a project to start");

    // A number too large for JSON: a sentence, never the parser's own text.
    writeFile(project / "package.json", R"({"scripts":{"dev":"vite"},"version":1e400})");
    runTask(vm->loadProject(root()));
    EXPECT_EQ(systemMessages().back(),
              "Project bootstrap failed: package.json is not valid JSON: a number is too large (line 1, column 37).");

    // The folder picker: cancelled changes nothing; a folder starts the opening.
    FolderPickerRequest asked;
    std::size_t before = vm->chat().messages->size();
    vm->openProject([&](const FolderPickerRequest& request, auto answer) {
        asked = request;
        answer(std::nullopt);
    });
    EXPECT_EQ(asked.title, "Open Project");
    runLoopUntil([] { return false; }, 20ms);
    EXPECT_EQ(vm->chat().messages->size(), before);
    writeProject("exit 0");
    vm->openProject([&](const FolderPickerRequest&, auto answer) { answer(root()); });
    EXPECT_TRUE(runLoopUntil([&] { return vm->projectContext().has_value(); }));

    // No project: planning does nothing, starting says so.
    make();
    runTask(vm->planStartupCommands());
    EXPECT_EQ(vm->chat().messages->size(), 1u);
    runTask(vm->installAndStartServer());
    EXPECT_EQ(systemMessages(), std::vector<std::string>{"Open a project first."});
}

TEST_F(Opening, AgentPlansAreUsedAndTheirFailuresFallBack) {
    writeProject("exit 0");
    installAgents({"codex"});
    make();
    replay("codex.answer", R"({"install_command":"pnpm install","dev_command":"pnpm dev","rationale":"lockfile"})");
    runTask(vm->loadProject(root()));
    EXPECT_EQ(*vm->project().stackLabel, "Vite + React via pnpm (Codex CLI)");
    EXPECT_EQ(*vm->project().installCommandLabel, "pnpm install");
    EXPECT_EQ(vm->projectContext()->packageManager, PackageManager::pnpm);
    auto said = systemMessages();
    EXPECT_EQ(said[1], "Asking Codex to plan install/dev commands...");
    EXPECT_EQ(said[2], "Codex startup plan received.");
    // pnpm is not installed here: the shell says so, and the server fails with advice.
    ASSERT_TRUE(runLoopUntil([&] { return text::startsWith(lastLog(), "Server stopped (exit "); }));
    EXPECT_EQ(log().back(), "Server stopped (exit 127).");
    // The advice fits this platform and names where Tarn looked.
    const std::string advice = ServerSession::commandNotFoundAdvice(ProcessEnvironment::augmentedEnvironment()["PATH"]);
    EXPECT_TRUE(this->said(advice));
    EXPECT_TRUE(text::contains(advice, "sudo apt install nodejs npm"));
    EXPECT_TRUE(text::contains(advice, (dir / "system").string()));
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::stopped);

    // A planner that never answers: given up after the limit, with its last words; nothing left.
    replay("codex.edit", "echo 'Reconnecting... waiting for network' >&2\necho $$ > \"$TARN_STANDIN_DIR/codex.pid\"\nexec sleep 300\n");
    runTask(vm->planStartupCommands());
    EXPECT_EQ(systemMessages().back(), "Saved startup instructions to .tarn/instructions.md");
    auto failed = systemMessages()[systemMessages().size() - 2];
    EXPECT_EQ(failed, "Codex startup planning failed, using fallback: Codex did not answer within 2 seconds (last "
                      "message: Reconnecting... waiting for network).");
    const int planner = waitForPidFile(standin / "codex.pid");
    EXPECT_TRUE(runLoopUntil([&] { return ::kill(planner, 0) != 0; }, 10s));
    // The local plan keeps the commands in use, and their source.
    EXPECT_EQ(*vm->project().installCommandLabel, "pnpm install");
    EXPECT_EQ(*vm->project().stackLabel, "Vite + React via pnpm (Codex CLI)");
    fs::remove(standin / "codex.edit");

    // The instructions file cannot be written: the plan is dropped, the labels stay.
    replay("codex.answer", R"({"install_command":"yarn install","dev_command":"yarn dev"})");
    fs::remove_all(project / ".tarn");
    writeFile(project / ".tarn", "a file in the way");
    runTask(vm->planStartupCommands());
    EXPECT_TRUE(text::startsWith(systemMessages().back(), "Could not write .tarn/instructions.md: "));
    EXPECT_EQ(*vm->project().installCommandLabel, "pnpm install");
    EXPECT_EQ(vm->projectContext()->installCommand, "pnpm install");
}

TEST_F(Opening, InstallRunsWhenNeededAndItsFailureIsShown) {
    // A dependency that cannot be found fails npm at once, without the network.
    writeProject("exit 0", false, R"({"left-pad": "file:./missing.tgz"})");
    make();
    runTask(vm->loadProject(root()));
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::failed);
    auto last = systemMessages().back();
    EXPECT_TRUE(text::startsWith(last, "Could not start server: ")) << last;
    EXPECT_NE(last.find("missing.tgz"), std::string::npos) << last;
    // The install's own lines went to the server log as they came.
    auto lines = log();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](auto& l) { return text::contains(l, "ENOENT"); }));
    EXPECT_FALSE(vm->server().controller().isRunning());

    // A launch that fails (the folder is gone): the platform's reason.
    fs::remove_all(project);
    runTask(vm->installAndStartServer());
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::failed);
    EXPECT_TRUE(text::startsWith(systemMessages().back(), "Could not start server: "));
}

TEST_F(Opening, LogsKeepTheirLimitsAndCopyAsText) {
    make();
    for (int i = 1; i <= 501; ++i) vm->server().handleOutputLine("line " + std::to_string(i));
    EXPECT_EQ(vm->server().serverLogLines->size(), 500u);
    EXPECT_EQ(vm->server().serverLogLines->front(), "line 2");
    vm->server().stop();
    EXPECT_EQ(vm->server().serverLogLines->size(), 501u);
    vm->server().handleOutputLine("line 502");
    EXPECT_EQ(vm->server().serverLogLines->size(), 500u);
    EXPECT_EQ(vm->server().serverLogLines->firstIndex(), 3u);

    for (int i = 1; i <= 401; ++i) vm->browser().appendConsoleEntry(BrowserConsoleEntry{Uuid(), "log", "c" + std::to_string(i)});
    EXPECT_EQ(vm->browser().consoleEntries->size(), 400u);
    EXPECT_EQ(vm->browser().consoleEntries->front().message, "c2");

    std::string copied;
    make();
    vm->copyLogs([&](const std::string& text) { copied = text; });
    EXPECT_EQ(copied, "=== Browser Console ===\n\n\n=== Server Log ===\n");
    ASSERT_TRUE(vm->chat().notice->has_value());
    EXPECT_EQ((*vm->chat().notice)->text, "Console logs copied.");
    vm->browser().appendConsoleEntry(BrowserConsoleEntry{Uuid(), "warn", "careful"});
    vm->browser().appendConsoleEntry(BrowserConsoleEntry{Uuid(), "Error", "broken"});
    vm->server().handleOutputLine("ready");
    vm->copyLogs([&](const std::string& text) { copied = text; });
    EXPECT_EQ(copied, "=== Browser Console ===\n[WARN] careful\n[ERROR] broken\n\n=== Server Log ===\nready");

    // What the old page says while a reload replaces it (a hot update cut off) is not kept.
    vm->browser().reload();
    vm->browser().appendConsoleEntry(BrowserConsoleEntry{Uuid(), "error", "[vite] Failed to reload /src/index.css"});
    vm->browser().loadEnded(PreviewLoad{"http://localhost:5173/", PreviewLoad::Outcome::shown});
    vm->browser().appendConsoleEntry(BrowserConsoleEntry{Uuid(), "log", "fresh"});
    ASSERT_EQ(vm->browser().consoleEntries->size(), 3u);
    EXPECT_EQ(vm->browser().consoleEntries->back().message, "fresh");
}

TEST_F(Opening, ServerLinesMoveTheStateAndTheAddress) {
    make();
    vm->server().handleOutputLine("   \u25B2 Next.js 15.3.0");
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::idle);
    vm->server().handleOutputLine("   - Local:        http://localhost:3001");
    EXPECT_EQ(*vm->browser().browserAddress, "http://localhost:3001");
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::running);
    std::size_t token = preview.loads.size();
    vm->server().handleOutputLine("zsh: COMMAND NOT FOUND: next");
    EXPECT_EQ(*vm->server().serverState, ServerRuntimeState::failed("zsh: COMMAND NOT FOUND: next"));
    EXPECT_EQ(preview.loads.size(), token);
    vm->server().handleExit(127);
    EXPECT_EQ(log().back(), "Server stopped (exit 127).");
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::stopped);
}

TEST_F(Opening, TheAddressBar) {
    make();
    vm->browser().browserAddress = "  localhost:3000 \n";
    std::size_t token = preview.loads.size();
    vm->browser().loadTypedAddress();
    EXPECT_EQ(*vm->browser().browserAddress, "http://localhost:3000");
    EXPECT_EQ((*vm->browser().currentURL)->string(), "http://localhost:3000");
    EXPECT_NE(preview.loads.size(), token);
    token = preview.loads.size();
    vm->browser().loadTypedAddress();  // the same address again still loads
    EXPECT_NE(preview.loads.size(), token);
    vm->browser().browserAddress = "https://example.test:8443/a?b=1";
    vm->browser().loadTypedAddress();
    EXPECT_EQ(*vm->browser().browserAddress, "https://example.test:8443/a?b=1");
    vm->browser().browserAddress = " ";
    token = preview.loads.size();
    vm->browser().loadTypedAddress();
    EXPECT_EQ(systemMessages().back(), "Invalid URL.");
    EXPECT_EQ(preview.loads.size(), token);
    vm->browser().browserAddress = "http://[broken";
    vm->browser().loadTypedAddress();
    EXPECT_EQ(systemMessages().back(), "Invalid URL.");

    vm->browser().toggleExpanded();
    EXPECT_TRUE(*vm->browser().isBrowserExpanded);
    vm->browser().toggleExpanded();
    EXPECT_FALSE(*vm->browser().isBrowserExpanded);
}

TEST_F(Opening, VersionsAreBranches) {
    writeProject("sleep 300");
    make();
    runTask(vm->loadProject(root()));
    vm->versions().newVersionName = "   ";
    runTask(vm->createVersion());
    EXPECT_EQ(vm->versions().versions->size(), 1u);
    vm->versions().newVersionName = "bad name";
    runTask(vm->createVersion());
    EXPECT_EQ(systemMessages().back(),
              "Could not create Version: Version name can only include letters, numbers, dashes, underscores, and slashes.");
    EXPECT_EQ(*vm->versions().newVersionName, "bad name");
    vm->versions().newVersionName = " feature/header ";
    runTask(vm->createVersion());
    EXPECT_EQ((*vm->chat().notice)->text, "Created Version 'feature/header'.");
    EXPECT_EQ(*vm->versions().newVersionName, "");
    ASSERT_EQ(vm->versions().versions->size(), 2u);
    EXPECT_EQ(vm->versions().versions->front().name, "feature/header");
    EXPECT_TRUE(vm->versions().versions->front().isCurrent);

    int reload = preview.reloads;
    runTask(vm->switchVersion("main"));
    EXPECT_EQ(systemMessages().back(), "Switched to Version 'main'.");
    EXPECT_NE(preview.reloads, reload);
    reload = preview.reloads;
    runTask(vm->switchVersion("main"));  // the same branch again still reloads
    EXPECT_NE(preview.reloads, reload);
    runTask(vm->switchVersion("no-such-branch"));
    EXPECT_TRUE(text::startsWith(systemMessages().back(), "Could not switch Version: ")) << systemMessages().back();

    // Not a git repository: the list empties and the server log says why.
    fs::remove_all(project / ".git");
    runTask(vm->refreshVersions());
    EXPECT_TRUE(vm->versions().versions->empty());
    EXPECT_EQ(log().back(), "Version list unavailable: This folder is not a git repository.");
}

TEST_F(Opening, CallbacksDoNothingOnceTheControllerIsGone) {
    writeProject("echo one; sleep 0.2; echo two; sleep 300");
    make();
    runTask(vm->loadProject(root()));
    ASSERT_TRUE(runLoopUntil([&] { return logged("one"); }));
    int group = vm->server().controller().processGroup();
    std::weak_ptr<AppViewModel> weak = vm;
    vm.reset();
    EXPECT_TRUE(weak.expired());
    // The server's group ends with the controller; its late lines and end reach nothing.
    EXPECT_TRUE(runLoopUntil([&] { return !processGroupAlive(group); }, 10s));
    runLoopUntil([] { return false; }, 300ms);
}

namespace {

int linesIn(const fs::path& file) {
    std::ifstream in(file);
    return static_cast<int>(std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

}  // namespace

TEST_F(Opening, ReopeningUsesTheRememberedPlanUntilOneOfItsInputsChanges) {
    writeProject("exec sleep 300");
    installAgents({"claude"});
    replay("claude.stdout", R"({"structured_output":{"install_command":"npm install","dev_command":"npm run dev","rationale":"lockfile","alternatives":[]}})");
    replay("claude.edit", "echo planned >> \"$TARN_STANDIN_DIR/plans\"\n");
    const fs::path plans = standin / "plans";
    make();
    runTask(vm->loadProject(root()));
    ASSERT_EQ(linesIn(plans), 1);

    // Opened again, unchanged: no planning run and no second probe (a version that fails now is
    // not seen), the server starts from the remembered plan.
    replay("claude.version-status", "1");
    runTask(vm->loadProject(root()));
    EXPECT_EQ(linesIn(plans), 1);
    EXPECT_EQ(systemMessages().back(), "Starting dev server with `npm run dev`...");
    EXPECT_TRUE(said("Project loaded. Its package files and instructions are unchanged since the last start-up plan, so "
                     "that plan is used."));
    EXPECT_EQ(*vm->project().stackLabel, "Vite + React via npm (Claude Code CLI)");
    EXPECT_EQ(*vm->project().instructionsPathLabel, (project / ".tarn" / "instructions.md").string());
    EXPECT_EQ(*vm->runtimes().agentStatusLabel, "Codex: not installed  \u2022  Claude Code: 2.1.3 (Claude Code)");
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::running);
    EXPECT_TRUE(vm->server().controller().isRunning());

    // A new launch: the server starts first, before the opening's first step comes back.
    fs::remove(standin / "claude.version-status");
    vm->shutdown();
    make();
    vm->openFolder(project.string());
    EXPECT_TRUE(vm->server().controller().isRunning() || runLoopUntil([&] { return vm->server().controller().isRunning(); }));
    ASSERT_TRUE(runLoopUntil([&] { return said("Starting dev server with `npm run dev`..."); }));
    EXPECT_EQ(linesIn(plans), 1);
    EXPECT_EQ(log().front(), "Dev server started with command: npm run dev");

    // Each input changed in turn: planned anew, then remembered again.
    int expected = 1;
    for (const char* input : {"package.json", "package-lock.json", ".tarn/instructions.md"}) {
        std::ofstream(project / input, std::ios::app) << "\n";
        runTask(vm->loadProject(root()));
        EXPECT_EQ(linesIn(plans), ++expected) << input;
        runTask(vm->loadProject(root()));
        EXPECT_EQ(linesIn(plans), expected) << input;
    }
    // Removing a lockfile is a change too; and refreshing always plans anew.
    fs::remove(project / "package-lock.json");
    runTask(vm->loadProject(root()));
    EXPECT_EQ(linesIn(plans), ++expected);
    runTask(vm->planStartupCommands());
    EXPECT_EQ(linesIn(plans), ++expected);
}

TEST_F(Opening, AServerAlreadyRunningIsShownLeftRunningAndNeverSignalled) {
    writeProject("exec sleep 300");
    // The user's own server, started in a terminal: it notes every signal it gets.
    const int port = freeLocalPort();
    writeFile(project / "server.js",
              "const fs = require('fs');\n"
              "for (const s of ['SIGTERM', 'SIGINT', 'SIGHUP', 'SIGQUIT']) process.on(s, () => fs.appendFileSync('signals', s + '\\n'));\n"
              "require('http').createServer((q, r) => r.end('ok')).listen(" + std::to_string(port) + ", '127.0.0.1');\n");
    ChildOptions options;
    options.arguments = {"/usr/bin/node", "server.js"};
    options.workingDirectory = project.string();
    options.ownProcessGroup = true;
    options.discardOutput = true;
    auto user = launchChild(options);
    const int pid = user->pid();
    ASSERT_TRUE(runLoopUntil([&] { return !ExternalServer::listeningPorts(pid).empty(); }, 20s));

    make();
    runTask(vm->loadProject(root()));
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::external);
    EXPECT_NE(vm->server().serverState->message().find("process " + std::to_string(pid)), std::string::npos);
    EXPECT_EQ(*vm->browser().browserAddress, "http://localhost:" + std::to_string(port) + "/");
    EXPECT_FALSE(vm->server().controller().isRunning());
    EXPECT_TRUE(said("This project's dev server is already running at http://localhost:" + std::to_string(port) +
                     "/ (process " + std::to_string(pid) +
                     ", started outside Tarn): showing it instead of starting another. Tarn will not stop it; the stop "
                     "button only detaches."));

    // Stop lets go of it; closing Tarn leaves it running too.
    vm->server().stop();
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::stopped);
    EXPECT_EQ(lastLog(), "Detached from the external dev server (process " + std::to_string(pid) + "); it keeps running.");
    runTask(vm->loadProject(root()));
    EXPECT_EQ(vm->server().serverState->kind(), ServerRuntimeState::Kind::external);
    vm->shutdown();
    vm.reset();
    bool ended = false;
    spawn([](bool& ended) -> Task<void> {
        co_await AppViewModel::processesEnded();
        ended = true;
    }(ended));
    ASSERT_TRUE(runLoopUntil([&] { return ended; }, 20s));
    EXPECT_EQ(::kill(pid, 0), 0);
    EXPECT_EQ(ExternalServer::listeningPorts(pid), std::vector<int>{port});
    EXPECT_FALSE(fs::exists(project / "signals"));
    ::kill(-pid, SIGKILL);
    user->watchExit([](int) {});
}
