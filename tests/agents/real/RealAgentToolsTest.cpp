// The real Claude Code and Codex command-line tools, as released, against a scripted model service
// of ours on 127.0.0.1 (tests/fixtures/model-service.mjs): the tools run their own tools, edit the
// project and print what they print; only the model's answers are scripted. Skipped, with npm's
// reason, when the tools could not be installed from the registry.
#include "agents/AgentToolFixture.h"
#include "agents/ClaudeCodeCLIService.h"
#include "agents/CodexCLIService.h"
#include "agents/acp/AcpAgent.h"
#include "process/Sandbox.h"
#include "support/GObjectPtr.h"
#include "support/Text.h"

#include <csignal>
#include <list>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const fs::path kTools = TARN_AGENT_TOOLS_DIR;
// Found before a test puts its own folders on the search path.
const std::string kNode = [] {
    GCharPtr found(g_find_program_in_path("node"));
    return found ? std::string(found.get()) : std::string("/usr/bin/node");
}();

// The scripted model, one process for a test, ended by its id.
class ModelService {
public:
    ModelService(const fs::path& folder, const std::string& scenario) : folder_(folder) {
        writeFile(folder / "scenario.json", scenario);
        const std::string script = std::string(TARN_FIXTURES_DIR) + "/model-service.mjs";
        std::vector<std::string> args{kNode, script, (folder / "scenario.json").string(), (folder / "port").string(),
                                      (folder / "model.log").string()};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, kNode.c_str(), nullptr, nullptr, argv.data(), environ) != 0) pid_ = 0;
        runLoopUntil([&] { return fs::exists(folder / "port"); }, 30s);
    }
    ~ModelService() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    std::string url() const { return "http://127.0.0.1:" + text::trim(readFile(folder_ / "port")); }
    std::string log() const { return fs::exists(folder_ / "model.log") ? readFile(folder_ / "model.log") : ""; }

private:
    fs::path folder_;
    pid_t pid_ = 0;
};

class RealTools : public AgentToolFixture {
protected:
    std::optional<ModelService> model;
    std::list<ScopedEnv> env;  // a list: its entries never move, so none restores its variable early
    // Codex's sandbox helper will not run from under /tmp (where a clone, and so its build folder,
    // may well be): its home lives in the user's cache folder, removed with the test.
    fs::path codexHome;
    std::vector<AgentStep> steps;
    std::vector<std::string> words, logged;
    std::vector<AgentPlanStep> plan;
    std::string reportedModel;

    void SetUp() override {
        AgentToolFixture::SetUp();
        if (fs::exists(kTools / "unavailable") || !fs::exists(kTools / "installed")) {
            GTEST_SKIP() << "the agent tools could not be installed from the npm registry: "
                         << (fs::exists(kTools / "unavailable") ? readFile(kTools / "unavailable") : "not installed");
        }
        fs::create_directories(project / "src");
        writeFile(project / "src" / "App.jsx", "export default () => <h1>Fresh bread</h1>;\n");
        shell("git init -q . && git config user.email t@example.com && git config user.name T && git add -A && "
              "git commit -qm init");
        const fs::path homes = fs::path(g_get_home_dir()) / ".cache" / "tarn-tests";
        fs::create_directories(homes);
        std::string pattern = (homes / "codex-XXXXXX").string();
        codexHome = ::mkdtemp(pattern.data());
    }
    void TearDown() override {
        std::error_code ec;
        if (!codexHome.empty()) fs::remove_all(codexHome, ec);
    }

    // The service with this scenario, and both tools pointed at it, quiet and private.
    void serve(const std::string& scenario) {
        env.clear();
        model.reset();
        fs::remove(dir / "port");
        model.emplace(dir.path(), scenario);
        const std::string url = model->url();
        writeFile(codexHome / "config.toml", "model = \"gpt-5.5\"\nmodel_provider = \"scripted\"\n\n[model_providers.scripted]\n"
                                             "name = \"scripted\"\nbase_url = \"" + url + "/v1\"\nwire_api = \"responses\"\n"
                                             "env_key = \"TARN_TEST_MODEL_KEY\"\nrequest_max_retries = 0\nstream_max_retries = 0\n");
        for (auto [name, value] : std::initializer_list<std::pair<const char*, std::string>>{
                 {"ANTHROPIC_BASE_URL", url},
                 {"ANTHROPIC_API_KEY", "scripted"},
                 {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "1"},
                 {"DISABLE_TELEMETRY", "1"},
                 {"DISABLE_AUTOUPDATER", "1"},
                 {"DISABLE_ERROR_REPORTING", "1"},
                 {"CLAUDE_CONFIG_DIR", (dir / "claude-config").string()},
                 {"IS_SANDBOX", "1"},  // the tests run as root on CI, where Claude Code asks for it
                 {"CLAUDE_CODE_MAX_RETRIES", "0"},  // it would try a refusing service for three minutes
                 {"CODEX_HOME", codexHome.string()},
                 {"TARN_TEST_MODEL_KEY", "scripted"},
             }) {
            env.emplace_back(name, value);
        }
        path.reset();
        path.emplace("PATH", (kTools / "node_modules" / ".bin").string() + ":/usr/bin:/bin");
    }

    AgentRunFeedback feedback() {
        return {[&](const std::string& w) { words.push_back(w); }, [&](const std::string& l) { logged.push_back(l); },
                [&](const AgentStep& s) { steps.push_back(s); }, [&](const auto& p) { plan = p; },
                [&](const std::string& m) { reportedModel = m; }};
    }

    std::string app() { return readFile(project / "src" / "App.jsx"); }

    // A request, with the steps seen while the tool still ran.
    AgentRunResult request(const AgentTool& tool, bool planMode, std::size_t* stepsBeforeTheEnd = nullptr) {
        std::optional<AgentRunResult> result;
        std::exception_ptr error;
        bool done = false;
        auto run = [](const AgentTool& tool, Url root, bool planMode, AgentRunFeedback feedback, std::optional<AgentRunResult>& result,
                      std::exception_ptr& error, bool& done) -> Task<void> {
            try {
                result = co_await tool.runRequest("Change the heading", root, planMode, feedback, std::nullopt);
            } catch (...) {
                error = std::current_exception();
            }
            done = true;
        };
        spawn(run(tool, root(), planMode, feedback(), result, error, done));
        if (stepsBeforeTheEnd) {
            runLoopUntil([&] { return done || !steps.empty(); }, 120s);
            *stepsBeforeTheEnd = done ? 0 : steps.size();
        }
        if (!runLoopUntil([&] { return done; }, 180s)) throw std::runtime_error("the tool did not end: " + model->log());
        if (error) std::rethrow_exception(error);
        return *result;
    }

    std::string failureOf(const AgentTool& tool) {
        try {
            request(tool, false);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no error";
    }
};

std::vector<std::string> titlesOf(const std::vector<AgentStep>& steps) {
    std::vector<std::string> titles;
    for (const auto& s : steps) titles.push_back(s.title);
    return titles;
}

// Words, a read, an edit and a command; the last answer comes late, so the steps before it are
// seen while the tool still runs.
const char* kEditScenario = R"({"steps": [
  {"say": "Let me look at the heading.", "read": "src/App.jsx"},
  {"edit": {"file": "src/App.jsx", "old": "Fresh bread", "new": "Warm bread"}},
  {"bash": "ls src", "delayMs": 1500},
  {"answer": "Changed the heading to Warm bread.", "delayMs": 1500}
]})";

// A model that edits whatever it is told: in Plan Mode, and while planning the start-up.
const char* kEditAnywayScenario = R"({"steps": [
  {"read": "src/App.jsx"},
  {"edit": {"file": "src/App.jsx", "old": "Fresh bread", "new": "Plan bread"}},
  {"write": {"file": "src/New.jsx", "content": "export const x = 1;"}},
  {"bash": "touch made-by-a-command"},
  {"answer": "Plan: change the heading."}
], "planner": [
  {"read": "src/App.jsx"},
  {"edit": {"file": "src/App.jsx", "old": "Fresh bread", "new": "Planner bread"}},
  {"bash": "touch made-by-the-planner"},
  {"plan": {"install_command": "npm ci", "dev_command": "npm run dev", "rationale": "A lockfile.", "alternatives": []}}
], "codexSteps": [
  {"read": "src/App.jsx"},
  {"edit": {"file": "src/App.jsx", "old": "Fresh bread", "new": "Plan bread"}},
  {"bash": "touch made-by-a-command"},
  {"answer": "{\"install_command\": \"npm ci\", \"dev_command\": \"npm run dev\", \"rationale\": \"A lockfile.\", \"alternatives\": []}"}
]})";

}  // namespace

TEST_F(RealTools, ClaudeCodeStepsArriveWhileItWorksAndTheReplyKeepsThem) {
    serve(kEditScenario);
    ClaudeCodeCLIService claude;
    std::size_t early = 0;
    auto result = request(claude, false, &early);
    EXPECT_GT(early, 0u) << "no step was seen before the tool ended";
    EXPECT_EQ(app(), "export default () => <h1>Warm bread</h1>;\n");
    EXPECT_EQ(titlesOf(result.steps), (std::vector<std::string>{"Reading src/App.jsx", "Editing src/App.jsx", "Running ls src"}));
    for (const auto& s : result.steps) EXPECT_EQ(s.status, AgentStep::Status::done) << s.title;
    // Live, each began then ended, in order.
    ASSERT_EQ(steps.size(), 6u);
    EXPECT_EQ(steps[0].status, AgentStep::Status::running);
    EXPECT_EQ(steps[1].title, "Reading src/App.jsx");
    EXPECT_EQ(steps[1].status, AgentStep::Status::done);
    EXPECT_EQ(words.front(), "Let me look at the heading.");
    EXPECT_FALSE(reportedModel.empty());
    EXPECT_EQ(result.output, "Changed the heading to Warm bread.");
    EXPECT_EQ(result.touchedFiles, std::vector<std::string>{"src/App.jsx"});
    EXPECT_TRUE(text::contains(result.details, "4 turns")) << result.details;
}

TEST_F(RealTools, CodexStepsArriveWhileItWorksAndTheReplyKeepsThem) {
    serve(kEditScenario);
    CodexCLIService codex;
    std::size_t early = 0;
    auto result = request(codex, false, &early);
    EXPECT_GT(early, 0u) << "no step was seen before the tool ended";
    EXPECT_EQ(app(), "export default () => <h1>Warm bread</h1>;\n");
    EXPECT_EQ(titlesOf(result.steps), (std::vector<std::string>{"Running cat src/App.jsx", "Editing src/App.jsx", "Running ls src"}));
    EXPECT_EQ(words.front(), "Let me look at the heading.");
    EXPECT_EQ(text::trim(result.output), "Changed the heading to Warm bread.");
    EXPECT_EQ(result.touchedFiles, std::vector<std::string>{"src/App.jsx"});
    EXPECT_EQ(codex.modelLabel(), "gpt-5.5");
    // Its housekeeping on standard error is the log's, not the words shown.
    EXPECT_NE(std::find(logged.begin(), logged.end(), "Reading additional input from stdin..."), logged.end());
}

TEST_F(RealTools, PlanModeAndPlanningLeaveEveryFileAsItWas) {
    serve(kEditAnywayScenario);
    const std::string before = app();
    ClaudeCodeCLIService claude;
    auto claudePlan = request(claude, true);
    EXPECT_EQ(app(), before);
    EXPECT_FALSE(fs::exists(project / "src" / "New.jsx"));
    EXPECT_FALSE(fs::exists(project / "made-by-a-command"));
    EXPECT_EQ(claudePlan.refusedEdits, (std::vector<std::string>{"src/App.jsx", "src/New.jsx", ""}));

    CodexCLIService codex;
    auto codexPlan = request(codex, true);
    EXPECT_EQ(app(), before);
    EXPECT_FALSE(fs::exists(project / "made-by-a-command"));
    EXPECT_FALSE(codexPlan.refusedEdits.empty());

    // Start-up planning with each tool: a plan, and nothing written.
    auto fromClaude = runTask(claude.proposeStartupPlan(context()), 180s);
    EXPECT_EQ(fromClaude.installCommand, "npm ci");
    auto fromCodex = runTask(codex.proposeStartupPlan(context()), 180s);
    EXPECT_EQ(fromCodex.installCommand, "npm ci");
    EXPECT_EQ(app(), before);
    EXPECT_FALSE(fs::exists(project / "made-by-the-planner"));
    EXPECT_FALSE(fs::exists(project / "made-by-a-command"));
    EXPECT_EQ(outputOf("git status --porcelain --untracked-files=all -- . ':!.tarn'", project), "");
}

TEST_F(RealTools, AModelServiceThatRefusesIsTheReplysReason) {
    ClaudeCodeCLIService claude;
    CodexCLIService codex;
    serve(R"({"steps": [{"fail": 401, "message": "invalid x-api-key"}]})");
    const std::string claude401 = failureOf(claude), codex401 = failureOf(codex);
    EXPECT_TRUE(text::contains(claude401, "API key")) << claude401;
    EXPECT_TRUE(text::contains(codex401, "401 Unauthorized: invalid x-api-key")) << codex401;
    serve(R"({"steps": [{"fail": 500, "message": "the model is on fire"}]})");
    const std::string claude500 = failureOf(claude), codex500 = failureOf(codex);
    EXPECT_TRUE(text::contains(claude500, "500 the model is on fire")) << claude500;
    // Codex says it its own way; what counts is that its words, not a generic line, are the reason.
    EXPECT_NE(codex500, "no error");
    EXPECT_NE(codex500, "Codex run failed.");
    EXPECT_FALSE(text::contains(codex500, "exit code")) << codex500;
}

TEST_F(RealTools, StopEndsARealRunInTheMiddle) {
    serve(R"({"steps": [{"read": "src/App.jsx"}, {"hang": true}]})");
    for (const AgentTool* tool : std::initializer_list<const AgentTool*>{new ClaudeCodeCLIService, new CodexCLIService}) {
        std::unique_ptr<const AgentTool> owned(tool);
        steps.clear();
        Cancellation stop;
        bool stopped = false, done = false;
        auto run = [](const AgentTool& tool, Url root, AgentRunFeedback feedback, Cancellation stop, bool& stopped, bool& done) -> Task<void> {
            try {
                co_await tool.runRequest("Change the heading", root, false, feedback, stop);
            } catch (const AgentRunStopped&) {
                stopped = true;
            } catch (...) {
            }
            done = true;
        };
        spawn(run(*tool, root(), feedback(), stop, stopped, done));
        // Stopped once it has taken a step and waits on the model.
        ASSERT_TRUE(runLoopUntil([&] { return done || std::any_of(steps.begin(), steps.end(), [](const AgentStep& s) {
                                                  return s.status == AgentStep::Status::done;
                                              }); }, 120s)) << model->log();
        stop.cancel();
        EXPECT_TRUE(runLoopUntil([&] { return done; }, 60s));
        EXPECT_TRUE(stopped) << displayName(tool->runtime());
    }
}

// The Claude Code adapter of the Agent Client Protocol, running the real `claude` above: it asks
// before its edit, and Plan Mode puts it in its own plan mode.
TEST_F(RealTools, TheClaudeCodeAdapterAsksBeforeItEditsAndPlansWithoutWriting) {
    serve(R"({"steps": [
      {"say": "Let me look at the heading.", "read": "src/App.jsx"},
      {"edit": {"file": "src/App.jsx", "old": "Fresh bread", "new": "Warm bread"}},
      {"answer": "Changed the heading to Warm bread."}
    ]})");
    env.emplace_back("CLAUDE_CODE_EXECUTABLE", (kTools / "node_modules" / ".bin" / "claude").string());
    AcpAgent adapter({"Claude Code (ACP)", (kTools / "node_modules" / ".bin" / "claude-code-acp").string(), {}, {}});
    std::vector<PermissionRequest> asked;
    auto allow = [&] {
        AgentRunFeedback f = feedback();
        f.permission = [&](PermissionRequest request) -> Task<std::optional<std::string>> {
            asked.push_back(request);
            for (const auto& o : request.options) {
                if (o.kind == PermissionOption::Kind::allowOnce) co_return o.id;
            }
            co_return std::nullopt;
        };
        return f;
    };
    auto run = [&](bool planMode) { return runTask(adapter.runRequest("Change the heading", root(), planMode, allow(), std::nullopt), 180s); };

    AgentRunResult result = run(false);
    EXPECT_EQ(app(), "export default () => <h1>Warm bread</h1>;\n") << model->log();
    ASSERT_FALSE(asked.empty()) << "the adapter edited without asking";
    EXPECT_EQ(asked[0].kind, AgentStep::Kind::edit);
    EXPECT_TRUE(text::contains(asked[0].title, "App.jsx")) << asked[0].title;
    EXPECT_TRUE(text::contains(result.output, "Changed the heading to Warm bread.")) << result.output;
    EXPECT_TRUE(std::any_of(result.steps.begin(), result.steps.end(), [](const AgentStep& s) { return s.kind == AgentStep::Kind::read; }))
        << text::join(titlesOf(result.steps), "\n");

    // Plan Mode: the adapter's own plan mode; the model's edit does not reach the file.
    shell("git checkout -q -- src/App.jsx");
    serve(R"({"steps": [
      {"read": "src/App.jsx"},
      {"edit": {"file": "src/App.jsx", "old": "Fresh bread", "new": "Plan bread"}},
      {"answer": "Plan: change the heading."}
    ]})");
    env.emplace_back("CLAUDE_CODE_EXECUTABLE", (kTools / "node_modules" / ".bin" / "claude").string());
    AcpAgent planner({"Claude Code (ACP)", (kTools / "node_modules" / ".bin" / "claude-code-acp").string(), {}, {}});
    asked.clear();
    runTask(planner.runRequest("Change the heading", root(), true, allow(), std::nullopt), 180s);
    EXPECT_EQ(app(), "export default () => <h1>Fresh bread</h1>;\n") << model->log();
}

// Sandboxed at the user's wish, each tool still edits the project, while a command the model runs
// (Claude Code runs them without asking) cannot read a key of the home folder or write beside the
// project.
TEST_F(RealTools, SandboxedToolsEditTheProjectButCannotReachTheHomeFolder) {
    if (auto why = sandbox::unavailable()) GTEST_SKIP() << *why;
    ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    const fs::path key = dir / "home" / ".ssh" / "id_ed25519";
    writeFile(key, "PRIVATE KEY\n");
    sandbox::setAgentToolsOn(true);
    const std::string scenario = R"({"steps": [
      {"read": "src/App.jsx"},
      {"edit": {"file": "src/App.jsx", "old": "Fresh bread", "new": "Warm bread"}},
      {"bash": "cat ')" + key.string() + R"(' > seen.txt 2>&1; echo out > ../outside.txt"},
      {"answer": "Done."}
    ]})";
    for (const AgentTool* tool : std::initializer_list<const AgentTool*>{new ClaudeCodeCLIService, new CodexCLIService}) {
        std::unique_ptr<const AgentTool> owned(tool);
        serve(scenario);
        fs::create_directories(dir / "claude-config");  // its sign-in folder, kept writable
        shell("git checkout -q -- src/App.jsx && rm -f seen.txt");
        logged.clear();
        try {
            request(*tool, false);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what() << "\n" << text::join(logged, "\n") << model->log();
        }
        const std::string name = displayName(tool->runtime());
        EXPECT_EQ(app(), "export default () => <h1>Warm bread</h1>;\n") << name << model->log();
        ASSERT_TRUE(fs::exists(project / "seen.txt")) << name << model->log();
        EXPECT_FALSE(text::contains(readFile(project / "seen.txt"), "PRIVATE KEY")) << name;
        EXPECT_FALSE(fs::exists(dir / "outside.txt")) << name;
    }
}
