#include "AgentToolFixture.h"
#include "agents/AgentToolError.h"
#include "agents/acp/AcpAgent.h"
#include "agents/acp/AcpUpdates.h"
#include "agents/acp/AcpAgentList.h"
#include "process/ProcessGroupGuard.h"
#include "support/Json.h"
#include "support/Text.h"

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

// Tarn against the scripted ACP agent (tests/fixtures/acp-agent.mjs) in a real git project. Every
// message Tarn sends is checked against the protocol's schema when the SDK package is installed.
class Acp : public AgentToolFixture {
protected:
    fs::path scenario = dir / "scenario.json";
    fs::path record = dir / "record.jsonl";
    std::vector<std::string> progress, logged;
    std::vector<AgentStep> steps;
    std::vector<PermissionRequest> asked;
    std::function<std::optional<std::string>(const PermissionRequest&)> answer = [](const PermissionRequest&) { return std::nullopt; };
    std::function<void(const AgentStep&)> onStep;
    std::optional<ScopedEnv> schema, ajv;

    void SetUp() override {
        AgentToolFixture::SetUp();
        initRepository();
        const fs::path tools = TARN_AGENT_TOOLS_DIR;
        const fs::path sdk = tools / "node_modules" / "@agentclientprotocol" / "sdk" / "schema" / "v1" / "schema.json";
        if (fs::exists(sdk) && fs::exists(tools / "node_modules" / "ajv")) {
            schema.emplace("TARN_ACP_SCHEMA", sdk.string());
            ajv.emplace("TARN_ACP_AJV", (tools / "node_modules" / "ajv").string());
        }
    }

    AcpAgent agent(const std::string& scenarioJson) {
        writeFile(scenario, scenarioJson);
        return AcpAgent({"Scripted", "/usr/bin/node", {std::string(TARN_FIXTURES_DIR) + "/acp-agent.mjs", scenario.string(), record.string()}, {}});
    }

    AgentRunFeedback feedback() {
        AgentRunFeedback f;
        f.progress = [this](const std::string& p) { progress.push_back(p); };
        f.log = [this](const std::string& l) { logged.push_back(l); };
        f.step = [this](const AgentStep& s) {
            steps.push_back(s);
            if (onStep) onStep(s);
        };
        f.permission = [this](PermissionRequest request) -> Task<std::optional<std::string>> {
            asked.push_back(request);
            co_return answer(request);
        };
        return f;
    }

    AgentRunResult run(const AcpAgent& a, AgentPrompt request, bool planMode = false, std::optional<Cancellation> stop = std::nullopt) {
        return runTask(a.runRequest(request, root(), planMode, feedback(), stop));
    }

    std::string failure(const AcpAgent& a) {
        try {
            run(a, "x");
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no error";
    }

    // What the agent received, by method, and anything the schema refused.
    std::vector<json::Json> received(const std::string& method) {
        std::vector<json::Json> out;
        for (const auto& line : text::splitLines(readFile(record))) {
            auto m = json::Json::parse(line);
            if (m.contains("invalid")) ADD_FAILURE() << "not as the protocol's schema says: " << line;
            if (m.value("method", "") == method) out.push_back(m);
        }
        return out;
    }
    std::vector<json::Json> recorded(const std::string& key) {
        std::vector<json::Json> out;
        for (const auto& line : text::splitLines(readFile(record))) {
            auto m = json::Json::parse(line);
            if (m.contains(key)) out.push_back(m[key]);
        }
        return out;
    }
};

const char* kEditTurn = R"([
  {"think": "Looking at the heading.\n"},
  {"say": "Let me look."},
  {"plan": [{"content": "Read the page", "priority": "high", "status": "completed"},
            {"content": "Change the heading", "priority": "high", "status": "in_progress"}]},
  {"tool": {"toolCallId": "t1", "title": "Read File", "kind": "read", "status": "in_progress",
            "locations": [{"path": "@ROOT@/src/App.tsx", "line": 1}]}},
  {"update": {"toolCallId": "t1", "status": "completed"}},
  {"tool": {"toolCallId": "t2", "title": "Edit `@ROOT@/src/App.tsx`", "kind": "edit", "status": "pending",
            "content": [{"type": "diff", "path": "@ROOT@/src/App.tsx", "oldText": "one\n", "newText": "two\n"}]}},
  {"write": {"path": "src/App.tsx", "text": "two\n"}},
  {"update": {"toolCallId": "t2", "status": "completed"}},
  {"tool": {"toolCallId": "t3", "title": "Run the tests", "kind": "execute", "status": "in_progress"}},
  {"update": {"toolCallId": "t3", "status": "failed"}},
  {"garbage": "Debugger listening on ws://127.0.0.1:9229"},
  {"say": ""}, {"say": "I changed "}, {"say": "the heading."}
])";

}  // namespace

TEST_F(Acp, ATurnStreamsStepsDiffsAndThePlanAndTheSessionServesTheNextRequest) {
    auto a = agent(text::replaceAll(std::string(R"({"turns": [)") + kEditTurn + R"(, [{"say": "Second answer."}]]})", "@ROOT@", project.string()));
    auto first = run(a, "Change the heading");

    EXPECT_EQ(readFile(project / "src/App.tsx"), "two\n");
    // Words after tool calls are a paragraph of their own; paths are the project's.
    EXPECT_EQ(first.output, "Let me look.\n\nI changed the heading.");
    EXPECT_EQ(first.touchedFiles, (std::vector<std::string>{"src/App.tsx"}));
    using S = AgentStep::Status;
    std::vector<std::tuple<std::string, AgentStep::Kind, S>> seen;
    for (const auto& s : first.steps) seen.emplace_back(s.title, s.kind, s.status);
    EXPECT_EQ(seen, (std::vector<std::tuple<std::string, AgentStep::Kind, S>>{{"Read File · src/App.tsx", AgentStep::Kind::read, S::done},
                                                                               {"Edit src/App.tsx", AgentStep::Kind::edit, S::done},
                                                                               {"Run the tests", AgentStep::Kind::run, S::failed}}));
    // Steps reached the window as they came: each call, then its end.
    EXPECT_EQ(steps.size(), 6u);
    EXPECT_EQ(first.steps[0].locations, (std::vector<std::string>{"src/App.tsx:1"}));
    ASSERT_EQ(first.steps[1].diffs.size(), 1u);
    EXPECT_EQ(first.steps[1].diffs[0], (StepDiff{"src/App.tsx", "one\n", "two\n"}));
    ASSERT_EQ(first.plan.size(), 2u);
    EXPECT_TRUE(first.plan[0].completed);
    EXPECT_EQ(first.plan[1].title, "Change the heading");
    EXPECT_FALSE(first.plan[1].completed);
    EXPECT_EQ(progress.front(), "Looking at the heading.");
    EXPECT_EQ(first.thoughts, "Looking at the heading.");
    // A line on its output that is not a message is logged and skipped; the turn goes on.
    EXPECT_TRUE(std::any_of(logged.begin(), logged.end(), [](const std::string& l) { return text::contains(l, "Debugger listening"); }));

    // Selected elements go as links to their source place; one outside the project does not.
    InspectTarget heading, outside;
    heading.tagName = "h1";
    heading.textSnippet = "Fresh bread";
    heading.fileGuess = "src/App.tsx";
    heading.line = 3;
    outside.fileGuess = "../elsewhere.tsx";
    auto second = run(a, AgentPrompt("And again", {heading, outside}));
    EXPECT_EQ(second.output, "Second answer.");
    // One agent, one session: the second request goes to the same session.
    ASSERT_EQ(received("initialize").size(), 1u);
    const auto init = received("initialize")[0]["params"];
    EXPECT_EQ(init["protocolVersion"], 1);
    EXPECT_EQ(init["clientCapabilities"]["fs"]["writeTextFile"], false);
    EXPECT_EQ(init["clientCapabilities"]["terminal"], false);
    ASSERT_EQ(received("session/new").size(), 1u);
    EXPECT_EQ(received("session/new")[0]["params"]["cwd"], project.string());
    const auto prompts = received("session/prompt");
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[1]["params"]["prompt"][0]["text"], "And again");
    ASSERT_EQ(prompts[1]["params"]["prompt"].size(), 2u);
    const auto link = prompts[1]["params"]["prompt"][1];
    EXPECT_EQ(link["type"], "resource_link");
    EXPECT_EQ(link["uri"], Url::forFile((project / "src/App.tsx").string()).string() + "#L3");  // escaped
    EXPECT_EQ(link["name"], "src/App.tsx:3");
    EXPECT_EQ(link["description"], "The selected element <h1> “Fresh bread”");
    EXPECT_EQ(prompts[1]["params"]["sessionId"], "session-1");
}

TEST_F(Acp, PermissionsWaitForTheUserAndPlanModeRefusesWhatWouldWrite) {
    const std::string ask = R"({"ask": {"toolCall": {"toolCallId": "e1", "title": "Edit src/App.tsx", "kind": "edit",
        "locations": [{"path": "@ROOT@/src/App.tsx"}],
        "content": [{"type": "diff", "path": "@ROOT@/src/App.tsx", "oldText": "one\n", "newText": "three\n"}]},
        "options": [{"optionId": "yes", "name": "Allow once", "kind": "allow_once"},
                    {"optionId": "always", "name": "Always allow", "kind": "allow_always"},
                    {"optionId": "no", "name": "Reject", "kind": "reject_once"}]},
        "then": {"yes": [{"write": {"path": "src/App.tsx", "text": "three\n"}}, {"say": "Edited."}], "no": [{"say": "Left it."}]}})";
    const std::string run_ = R"({"ask": {"toolCall": {"toolCallId": "r1", "title": "npm test", "kind": "execute", "rawInput": {"command": ["npm", "test"]}},
        "options": [{"optionId": "yes", "name": "Allow", "kind": "allow_once"}, {"optionId": "no", "name": "Reject", "kind": "reject_once"}]},
        "then": {"yes": [{"write": {"path": "ran", "text": "x"}}]}})";
    auto a = agent(text::replaceAll("{\"turns\": [[" + ask + "], [" + ask + "], [" + ask + ", " + run_ + "]]}", "@ROOT@", project.string()));

    answer = [](const PermissionRequest&) { return std::optional<std::string>("yes"); };
    auto allowed = run(a, "Edit it");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Edit src/App.tsx");
    EXPECT_EQ(asked[0].kind, AgentStep::Kind::edit);
    EXPECT_EQ(asked[0].locations, (std::vector<std::string>{"src/App.tsx"}));
    ASSERT_EQ(asked[0].diffs.size(), 1u);
    EXPECT_EQ(asked[0].diffs[0].newText, "three\n");
    ASSERT_EQ(asked[0].options.size(), 3u);
    EXPECT_EQ(asked[0].options[1].kind, PermissionOption::Kind::allowAlways);
    EXPECT_EQ(readFile(project / "src/App.tsx"), "three\n");
    EXPECT_EQ(allowed.output, "Edited.");

    // No answer (the turn was stopped while it waited): "cancelled", and nothing written.
    shell("git checkout -q -- src/App.tsx");
    answer = [](const PermissionRequest&) { return std::nullopt; };
    run(a, "Edit it again");
    EXPECT_EQ(readFile(project / "src/App.tsx"), "one\n");

    // Plan Mode with an agent that has no read-only mode: Tarn refuses the edit and the command itself.
    asked.clear();
    auto planned = run(a, "Plan it", true);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(readFile(project / "src/App.tsx"), "one\n");
    EXPECT_FALSE(fs::exists(project / "ran"));
    EXPECT_EQ(planned.refusedEdits, (std::vector<std::string>{"src/App.tsx"}));
    EXPECT_TRUE(text::contains(planned.output, "Plan Mode refused what the agent wanted to run: npm test")) << planned.output;
    const auto answers = recorded("answered");
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(answers[0]["outcome"]["optionId"], "yes");
    EXPECT_EQ(answers[1]["outcome"]["outcome"], "cancelled");
    EXPECT_EQ(answers[2]["outcome"]["optionId"], "no");
    EXPECT_EQ(answers[3]["outcome"]["optionId"], "no");
    received("session/prompt");  // and every answer as the schema says
}

TEST_F(Acp, PlanModeUsesTheAgentsReadOnlyModeAndComesBack) {
    auto a = agent(R"({"newSession": {"modes": {"currentModeId": "default", "availableModes": [
        {"id": "default", "name": "Default"}, {"id": "plan", "name": "Plan Mode"}]}}, "turns": [[{"say": "A plan."}]]})");
    auto planned = run(a, "Plan it", true);
    EXPECT_EQ(planned.output, "A plan.");
    const auto modes = received("session/set_mode");
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_EQ(modes[0]["params"]["modeId"], "plan");
    EXPECT_EQ(modes[1]["params"]["modeId"], "default");
    EXPECT_EQ(acp::readOnlyMode(json::Json::parse(R"({"availableModes": [{"id": "code", "name": "Code"}]})")), std::nullopt);
    // A question about a tool call announced before takes what the announcement said.
    const auto asked = acp::permissionOf(json::Json::parse(R"({"toolCall": {"toolCallId": "t9"}, "options": []})"), project.string(),
                                         AgentStep{"t9", AgentStep::Kind::edit, "Edit src/App.tsx", AgentStep::Status::running, {"src/App.tsx"}});
    EXPECT_EQ(asked.kind, AgentStep::Kind::edit);
    EXPECT_EQ(asked.title, "Edit src/App.tsx");
    EXPECT_EQ(asked.locations, (std::vector<std::string>{"src/App.tsx"}));
}

TEST_F(Acp, AfterARestartTheSessionIsLoadedAndItsHistoryIsNotTheRequests) {
    const std::string scenario = R"({"initialize": {"loadSession": true},
        "replay": [{"tool": {"toolCallId": "old", "title": "An old step", "kind": "read", "status": "completed"}}, {"say": "Old words."}],
        "turns": [[{"say": "Fresh."}]]})";
    run(agent(scenario), "First");
    steps.clear();
    auto again = run(agent(scenario), "After a restart");  // another agent process
    EXPECT_EQ(again.output, "Fresh.");
    EXPECT_TRUE(again.steps.empty());
    EXPECT_TRUE(steps.empty());
    ASSERT_EQ(received("session/load").size(), 1u);
    EXPECT_EQ(received("session/load")[0]["params"]["sessionId"], "session-1");
    EXPECT_EQ(received("session/new").size(), 1u);
}

TEST_F(Acp, StopCancelsTheTurnAndEndsAnAgentThatIgnoresIt) {
    for (const std::string how : {"honour", "ignore"}) {
        SCOPED_TRACE(how);
        fs::remove(record);
        auto a = agent(R"({"turns": [[{"tool": {"toolCallId": "w", "title": "Waiting", "kind": "other", "status": "in_progress"}},
                                      {"waitCancel": ")" + how + R"("}]]})");
        Cancellation stop;
        onStep = [&](const AgentStep&) { stop.cancel(); };
        std::string said;
        try {
            run(a, "Wait", false, stop);
        } catch (const AgentRunStopped& e) {
            said = e.how;
        }
        onStep = nullptr;
        EXPECT_EQ(received("session/cancel").size(), 1u);
        if (how == "honour") {
            EXPECT_EQ(said, "Scripted stopped.");
        } else {
            EXPECT_EQ(said, "Scripted did not stop within 5 seconds; Tarn ended it.");
            EXPECT_TRUE(runLoopUntil([] { return processGroupsEnding().empty(); }, std::chrono::seconds(30)));
        }
    }
}

TEST_F(Acp, FailuresSayWhyInTheAgentsWords) {
    EXPECT_TRUE(text::contains(failure(agent(R"({"initialize": {"crash": "node: bad option: --acp"}})")), "node: bad option: --acp"));
    EXPECT_EQ(failure(agent(R"({"newSession": {"error": {"code": -32000, "message": "Authentication required"}}})")),
              "Scripted needs you to sign in (Authentication required): run “/usr/bin/node” once in a terminal, then try again.");
    // Its sign-in methods are named; none is started from here (they open a browser or ask in a terminal).
    EXPECT_EQ(failure(agent(R"({"initialize": {"authMethods": [{"id": "oauth", "name": "Log in with Google"}, {"id": "key", "name": "API key"}]},
                               "newSession": {"error": {"code": -32000, "message": "Gemini API key is missing."}}})")),
              "Scripted needs you to sign in (Gemini API key is missing.): run “/usr/bin/node” once in a terminal and sign in with "
              "one of: Log in with Google, API key. Then try again.");
    EXPECT_TRUE(received("authenticate").empty());
    fs::remove(record);
    auto crashing = agent(R"({"turns": [[{"say": "Starting"}, {"exit": 1, "stderr": "Error: the model is on fire"}]]})");
    const std::string crashed = failure(crashing);
    EXPECT_TRUE(text::contains(crashed, "exited with status 1")) << crashed;
    EXPECT_TRUE(text::contains(crashed, "the model is on fire")) << crashed;
    // The next request starts a fresh agent.
    EXPECT_TRUE(text::contains(failure(crashing), "the model is on fire"));
    EXPECT_EQ(received("initialize").size(), 2u);
    EXPECT_TRUE(text::contains(failure(AcpAgent({"Missing", "no-such-agent-here", {}, {}})), "“no-such-agent-here” is not on the search path"));

    // What Tarn does not serve is answered "method not found"; a refusal is said as one.
    auto asking = agent(R"({"turns": [[{"call": {"method": "fs/read_text_file", "params": {"sessionId": "session-1", "path": "/etc/passwd"}}},
                                       {"stopReason": "refusal"}]]})");
    EXPECT_EQ(failure(asking), "Scripted refused this request.");
    const auto called = recorded("answer");
    ASSERT_EQ(called.size(), 1u);
    EXPECT_EQ(called[0]["error"]["code"], -32601);
}

TEST_F(Acp, TenThousandUpdatesInOneTurn) {
    auto a = agent(R"({"turns": [[{"flood": 10000}, {"say": "Done."}]]})");
    auto result = run(a, "Flood");
    EXPECT_EQ(result.steps.size(), 10000u);
    EXPECT_EQ(result.steps.back().title, "Step 9999");
    EXPECT_EQ(result.output, "Done.");
}

TEST(AcpAgents, ACommandLineReadsAsAShellWouldAndWritesBackTheSame) {
    auto parsed = acpagents::parse(" Gemini ", "GEMINI_API_KEY='a b' gemini --acp --model 'gemini pro'");
    ASSERT_TRUE(parsed.agent) << parsed.error;
    EXPECT_EQ(parsed.agent->name, "Gemini");
    EXPECT_EQ(parsed.agent->command, "gemini");
    EXPECT_EQ(parsed.agent->arguments, (std::vector<std::string>{"--acp", "--model", "gemini pro"}));
    EXPECT_EQ(parsed.agent->environment.at("GEMINI_API_KEY"), "a b");
    auto again = acpagents::parse("Gemini", acpagents::commandLine(*parsed.agent));
    ASSERT_TRUE(again.agent);
    EXPECT_EQ(*again.agent, *parsed.agent);
    EXPECT_EQ(acpagents::parse("X", "gemini 'unclosed").agent, std::nullopt);
    EXPECT_EQ(acpagents::parse("", "gemini").error, "Give the agent a name.");
    EXPECT_EQ(acpagents::parse("X", "  ").error, "Give the command that starts the agent.");
}
