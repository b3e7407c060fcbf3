#include "AgentToolFixture.h"
#include "agents/AgentToolSupport.h"
#include "agents/ClaudeCodeCLIService.h"
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

const std::string kClosing =
    "\nKeep changes minimal, consistent with existing conventions, and runnable.\nAt the end, provide:\n"
    "1) one-paragraph summary\n2) bullet list of key files touched (or would be touched in plan mode)\n"
    "3) verification steps\n\nUser request:\n";

}  // namespace

TEST_F(ClaudeCode, RunsTheRequestAndReportsWhatChanged) {
    initRepository();
    replay("claude.edit", "echo two >> src/App.tsx; echo n > notes.txt; git mv old.ts new.ts\n");
    replay("claude.stdout", "{\"type\":\"system\"}\nnot json\n"
                            "{\"type\":\"result\",\"result\":\"Done.\\nChanged two files.\"}\n");
    auto result = request("Make the title blue\n- selected: h1");

    EXPECT_EQ(recordedArguments("claude"),
              (std::vector<std::string>{"-p",
                                        "You are Claude Code running from a GUI IDE.\nPlan mode is OFF. Implement the "
                                        "request by editing project files directly." +
                                            kClosing + "Make the title blue\n- selected: h1",
                                        "--output-format", "json", "--dangerously-skip-permissions"}));
    EXPECT_EQ(readFile(standin / "claude.cwd"), project.string() + "\n");
    EXPECT_EQ(statuses, (std::vector<std::string>{"Sending request to Claude Code...", "Claude Code response received."}));
    EXPECT_EQ(result.output, "Done.\nChanged two files.");
    EXPECT_EQ(result.summary, "Done.");
    EXPECT_EQ(result.touchedFiles, (std::vector<std::string>{"new.ts", "notes.txt", "src/App.tsx"}));
    EXPECT_EQ(readFile(project / ".tarn" / "last-claude-output.md"), "Done.\nChanged two files.");

    // Plan mode changes the prompt only; the copy is replaced.
    replay("claude.stdout", R"({"result":"  Plan: add a button"})");
    result = request("Plan it", true);
    auto args = recordedArguments("claude");
    ASSERT_EQ(args.size(), 5u);
    EXPECT_EQ(args[1], "You are Claude Code running from a GUI IDE.\nPlan mode is ON. Do not edit files. Return a "
                       "concise implementation plan only." + kClosing + "Plan it");
    EXPECT_EQ(result.summary, "  Plan: add a button");
    EXPECT_EQ(readFile(project / ".tarn" / "last-claude-output.md"), "  Plan: add a button");
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
