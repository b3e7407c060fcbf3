#include "AgentToolFixture.h"
#include "agents/AgentToolSupport.h"
#include "agents/ClaudeCodeCLIService.h"
#include "support/Text.h"
#include "support/PlatformError.h"

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

class ClaudeCode : public AgentToolFixture {
protected:
    ClaudeCodeCLIService service;
    std::vector<std::string> statuses;

    AgentRunResult request(const std::string& text, bool planMode = false) {
        return runTask(service.runRequest(text, root(), planMode, {[&](const std::string& s) { statuses.push_back(s); }, nullptr}));
    }
    std::string failure(const std::string& text = "Change it") {
        try {
            request(text);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no error";
    }
};

// The prompt opens with who asks and the mode, and ends with the user's words.
void expectPrompt(const std::string& prompt, const std::string& mode, const std::string& request) {
    EXPECT_TRUE(prompt.starts_with("You are Claude Code running from a GUI IDE.\n" + mode)) << prompt;
    EXPECT_TRUE(prompt.ends_with("\n\nUser request:\n" + request)) << prompt;
}

}  // namespace

TEST_F(ClaudeCode, ReadsTheStreamAsItComesAndKeepsWhatTheToolDid) {
    initRepository();
    replay("claude.edit", "echo two >> src/App.tsx; echo n > notes.txt; git mv old.ts new.ts\n");
    // A run of the real tool, recorded: words, a to-do list, a read, an edit and a command.
    replay("claude.stdout", text::replaceAll(readFile(std::string(TARN_FIXTURES_DIR) + "/agent-output/claude-stream.jsonl"),
                                             "@ROOT@", project.string()) +
                                "not json\n{\"type\":\"a_new_kind_of_event\",\"x\":1}\n");
    std::vector<AgentStep> steps;
    std::vector<std::string> models, logged;
    std::vector<AgentPlanStep> plan;
    AgentRunFeedback feedback{[&](const std::string& s) { statuses.push_back(s); }, [&](const std::string& l) { logged.push_back(l); },
                              [&](const AgentStep& s) { steps.push_back(s); }, [&](const auto& p) { plan = p; },
                              [&](const std::string& m) { models.push_back(m); }};
    auto result = runTask(service.runRequest("Make the title blue\n- selected: h1", root(), false, feedback));

    auto arguments = recordedArguments("claude");
    ASSERT_EQ(arguments.size(), 6u);
    expectPrompt(arguments[1], "Plan mode is OFF.", "Make the title blue\n- selected: h1");
    arguments.erase(arguments.begin() + 1);
    EXPECT_EQ(arguments, (std::vector<std::string>{"-p", "--output-format", "stream-json", "--verbose", "--dangerously-skip-permissions"}));
    EXPECT_EQ(readFile(standin / "claude.cwd"), project.string() + "\n");
    EXPECT_EQ(models, std::vector<std::string>{"claude-opus-4-8"});
    EXPECT_EQ(statuses, (std::vector<std::string>{"Let me look.", "Changed the heading to Warm bread."}));
    EXPECT_EQ(logged, std::vector<std::string>{"not json"});
    // Each call as it began, then as it ended, paths as the project names them.
    std::vector<std::pair<std::string, AgentStep::Status>> seen;
    for (const auto& s : steps) seen.emplace_back(s.title, s.status);
    using S = AgentStep::Status;
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, S>>{{"Reading App.jsx", S::running}, {"Reading App.jsx", S::done},
                                                             {"Editing App.jsx", S::running}, {"Editing App.jsx", S::done},
                                                             {"Running ls", S::running}, {"Running ls", S::done}}));
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan[0].title, "Read the app");
    EXPECT_EQ(result.plan, plan);
    ASSERT_EQ(result.steps.size(), 3u);
    EXPECT_EQ(result.steps[1].title, "Editing App.jsx");
    EXPECT_EQ(result.details, "5 turns · 2.4 s · $0.0009");
    EXPECT_EQ(result.output, "Changed the heading to Warm bread.");
    EXPECT_EQ(result.touchedFiles, (std::vector<std::string>{"new.ts", "notes.txt", "src/App.tsx"}));
    EXPECT_TRUE(result.refusedEdits.empty());
    EXPECT_EQ(readFile(project / ".tarn" / "last-claude-output.md"), "Changed the heading to Warm bread.");

    // Plan Mode is the tool's own permission mode, and what it refused is said.
    replay("claude.stdout", text::replaceAll(readFile(std::string(TARN_FIXTURES_DIR) + "/agent-output/claude-plan-stream.jsonl"),
                                             "@ROOT@", project.string()));
    result = request("Plan it", true);
    auto args = recordedArguments("claude");
    EXPECT_EQ(std::vector<std::string>(args.begin() + 2, args.end()),
              (std::vector<std::string>{"--output-format", "stream-json", "--verbose", "--permission-mode", "plan"}));
    expectPrompt(args[1], "Plan mode is ON. Do not edit files.", "Plan it");
    EXPECT_EQ(result.summary, "Plan: change the heading.");
    EXPECT_EQ(result.refusedEdits, (std::vector<std::string>{"App.jsx", "new.txt", ""}));
    ASSERT_EQ(result.steps.size(), 4u);
    EXPECT_EQ(result.steps[1].status, AgentStep::Status::failed);

    // A run the tool says failed is a failure in its own words, even with status 0.
    replay("claude.stdout", "{\"type\":\"result\",\"subtype\":\"error_during_execution\",\"is_error\":true,"
                            "\"result\":\"API Error: 401 invalid x-api-key\"}\n");
    EXPECT_EQ(failure(), "API Error: 401 invalid x-api-key");
    replay("claude.stdout", "{\"type\":\"result\",\"subtype\":\"error_max_turns\",\"is_error\":false}\n");
    EXPECT_EQ(failure(), "Claude Code stopped: error max turns");
}

TEST_F(ClaudeCode, FindsTheAnswerInEveryShape) {
    // Outside a working copy the touched list is empty.
    auto answerOf = [&](const std::string& out) { return (replay("claude.stdout", out), request("x").output); };
    EXPECT_EQ(answerOf(R"({"message":{"content":[{"text":"A"},{"type":"image"},{"text":"B"}]}})"), "A\nB");
    EXPECT_EQ(answerOf(R"({"result":"  ","text":" ","content":[{"text":"from content"}]})"), "from content");
    EXPECT_EQ(answerOf(R"({"result":" ","content":[]})"), R"({"result":" ","content":[]})");
    std::string raw = "{\n  \"session\": 1\n}";
    replay("claude.stdout", raw);
    auto result = request("x");
    EXPECT_EQ(result.output, raw);
    EXPECT_EQ(result.summary, "{");
    EXPECT_TRUE(result.touchedFiles.empty());

    replay("claude.stdout", R"({"result":"\n\n  Added a button\nmore"})");
    EXPECT_EQ(request("x").summary, "  Added a button");

    // Standard output empty: the JSON on standard error is used.
    fs::remove(standin / "claude.stdout");
    replay("claude.stderr", R"({"result":"from stderr"})");
    EXPECT_EQ(request("x").output, "from stderr");
    fs::remove(standin / "claude.stderr");

    // A large answer and one that is not UTF-8.
    std::string big(1 << 20, 'x');
    replay("claude.stdout", "{\"result\":\"" + big + "\"}");
    EXPECT_EQ(request("x").output.size(), big.size());
    replay("claude.stdout", "not json at all \xFF\xFE\n{\"result\": \"caf\xC3\xA9\"}");
    EXPECT_EQ(request("x").output, "café");
}

TEST_F(ClaudeCode, FailuresSayWhatWentWrong) {
    replay("claude.stdout", "plain text, no JSON");
    EXPECT_EQ(failure(), "Claude Code did not return an output message.");
    replay("claude.stdout", R"({"result":"cut off in the mid)");
    EXPECT_EQ(failure(), "Claude Code did not return an output message.");
    EXPECT_FALSE(fs::exists(project / ".tarn" / "last-claude-output.md"));

    // The real tool when logged out: status 1 with its JSON on standard output only.
    replay("claude.stdout", readFile(std::string(TARN_FIXTURES_DIR) + "/agent-output/claude-not-logged-in.json"));
    replay("claude.status", "1");
    EXPECT_EQ(failure(), "Not logged in \u00B7 Please run /login");
    replay("claude.stdout", "");
    EXPECT_EQ(failure(), "Command failed with exit code 1.");
    replay("claude.stderr", "warming up\n  API error: overloaded \n\n");
    EXPECT_EQ(failure(), "API error: overloaded");
    fs::remove(standin / "claude.status");
    fs::remove(standin / "claude.stderr");

    // A .tarn that is a file: the write error reaches the caller.
    replay("claude.stdout", R"({"result":"ok"})");
    writeFile(project / ".tarn", "in the way");
    EXPECT_THROW(request("x"), PlatformError);

    installTools(false);
    statuses.clear();
    EXPECT_EQ(failure(), "Claude Code CLI is not installed or not in PATH.");
    EXPECT_TRUE(statuses.empty());
    EXPECT_FALSE(service.detectVersion());
}

TEST_F(ClaudeCode, VersionProbe) {
    EXPECT_EQ(service.detectVersion(), "2.1.3 (Claude Code)");
    replay("claude.version", "\n\n");
    EXPECT_EQ(service.detectVersion(), "");
    replay("claude.version-status", "3");
    EXPECT_EQ(service.detectVersion(), std::nullopt);
}

TEST(AgentToolRoutines, PorcelainFencesAndJsonLines) {
    EXPECT_EQ(agenttools::parsePorcelain(" M src/App.tsx\n?? notes.txt\nR  old.ts -> new.ts\n\n M src/App.tsx\n"
                                         "?? \"with space.txt\"\n"),
              (std::vector<std::string>{"src/App.tsx", "notes.txt", "new.ts", "src/App.tsx", "\"with space.txt\""}));
    EXPECT_EQ(agenttools::stripCodeFences("```json\n{\"a\":1}\n```"), "{\"a\":1}");
    EXPECT_EQ(agenttools::stripCodeFences("  {\"a\":1} \n"), "{\"a\":1}");
    EXPECT_EQ(agenttools::stripCodeFences("```\n```"), "");
    EXPECT_EQ(agenttools::stripCodeFences("```ts2 x\u2003```"), "x");
    EXPECT_EQ(agenttools::stripCodeFences("```json {\"a\": \"``` inside\"}"), "{\"a\": \"``` inside\"}");
    // A long run of white space is read once, not once per position.
    std::string spaces(400000, ' ');
    EXPECT_EQ(agenttools::stripCodeFences("```json\n{" + spaces + "}"), "{" + spaces + "}");
    EXPECT_EQ(agenttools::stripCodeFences("```json\n{}" + spaces + "\t```"), "{}");
    EXPECT_FALSE(agenttools::parseJSONObject("[1,2]"));
    EXPECT_FALSE(agenttools::parseJSONObject("  "));
    EXPECT_EQ((*agenttools::parseJSONObject("{\"a\":1}\n{\"b\":2}\n[3]"))["b"], 2);
}

TEST(AgentToolRoutines, ThoughtsKeepTheirParagraphsAndOnlyTheEndOfALongRun) {
    std::string kept;
    agenttools::keepThought(kept, "  First thought.\n");
    agenttools::keepThought(kept, "Then ", true);
    agenttools::keepThought(kept, "more.", true);
    agenttools::keepThought(kept, "A new one.");
    EXPECT_EQ(kept, "First thought.Then more.\n\nA new one.");
    // A long run keeps its last 64 KiB, whole characters only.
    for (int i = 0; i < 40000; ++i) agenttools::keepThought(kept, "é", true);
    EXPECT_LE(kept.size(), 64u * 1024);
    EXPECT_GT(kept.size(), 64u * 1024 - 2);
    EXPECT_TRUE(g_utf8_validate(kept.data(), static_cast<gssize>(kept.size()), nullptr));
    EXPECT_TRUE(kept.ends_with("éé"));
}
