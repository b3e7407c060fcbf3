#include "AgentToolFixture.h"
#include "agents/CodexCLIService.h"
#include "support/Text.h"

#include <glib.h>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

class Codex : public AgentToolFixture {
protected:
    CodexCLIService service;
    std::vector<std::string> progress, logged;

    AgentRunResult request(const std::string& text, bool planMode = false) {
        AgentRunFeedback feedback{[&](const std::string& p) { progress.push_back(p); },
                                  [&](const std::string& l) { logged.push_back(l); }};
        return runTask(service.runRequest(text, root(), planMode, feedback));
    }
    std::string failure() {
        try {
            request("x");
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no error";
    }
    std::string oldHelp() { return readFile(std::string(TARN_FIXTURES_DIR) + "/agent-output/codex-exec-help-full-auto.txt"); }
};

}  // namespace

TEST_F(Codex, ReadsItsEventsAsTheyComeAndReadsTheAnswerFile) {
    initRepository();
    // A run of the real tool, recorded (a read, an edit, a failing command), then events it may add
    // one day and passing errors, many of them.
    std::string events = text::replaceAll(readFile(std::string(TARN_FIXTURES_DIR) + "/agent-output/codex-stream.jsonl"),
                                          "@ROOT@", project.string());
    events += readFile(std::string(TARN_FIXTURES_DIR) + "/agent-output/codex-events.jsonl");
    for (int i = 0; i < 10000; ++i) events += "{\"type\":\"foo\",\"message\":\"step " + std::to_string(i) + "\"}\n";
    replay("codex.stdout", events);
    replay("codex.stderr", readFile(std::string(TARN_FIXTURES_DIR) + "/agent-output/codex-stream.stderr"));
    replay("codex.answer", "\n  Updated the header.\nDetails follow.\n");
    replay("codex.edit", "echo changed >> src/App.tsx\n");
    std::vector<AgentStep> steps;
    AgentRunFeedback feedback{[&](const std::string& p) { progress.push_back(p); }, [&](const std::string& l) { logged.push_back(l); },
                              [&](const AgentStep& s) { steps.push_back(s); }};
    auto result = runTask(service.runRequest("Make the header sticky", root(), false, feedback));

    auto args = recordedArguments("codex");
    ASSERT_EQ(args.size(), 10u);
    std::vector<std::string> head(args.begin(), args.begin() + 7);
    EXPECT_EQ(head, (std::vector<std::string>{"exec", "--json", "--sandbox", "workspace-write", "--skip-git-repo-check",
                                              "--cd", project.string()}));
    EXPECT_EQ(args[7], "-o");
    // A private folder of the temporary folder, gone with the run.
    const fs::path answerFolder = fs::path(args[8]).parent_path();
    EXPECT_EQ(answerFolder.parent_path(), fs::path(g_get_tmp_dir()));
    EXPECT_TRUE(answerFolder.filename().string().starts_with("tarn-codex-feature-")) << answerFolder;
    EXPECT_FALSE(fs::exists(answerFolder));
    EXPECT_TRUE(args[9].starts_with("You are Codex running from a GUI IDE.\nPlan mode is OFF.")) << args[9];
    EXPECT_TRUE(args[9].ends_with("\n\nUser request:\nMake the header sticky")) << args[9];
    EXPECT_EQ(readFile(standin / "codex.cwd"), project.string() + "\n");
    // Nothing to read on standard input: a tool that reads it when it is not a terminal ends at once.
    EXPECT_EQ(readFile(standin / "codex.stdin"), "/dev/null\n");

    // Its words as they come; its housekeeping and passing errors in the log; unknown events skipped.
    EXPECT_EQ(progress, (std::vector<std::string>{"Let me look.", "Changed the heading to Warm bread."}));
    EXPECT_NE(std::find(logged.begin(), logged.end(), "Reading additional input from stdin..."), logged.end());
    EXPECT_NE(std::find(logged.begin(), logged.end(), "Falling back from WebSockets to HTTPS transport."), logged.end());
    using S = AgentStep::Status;
    std::vector<std::pair<std::string, S>> seen;
    for (const auto& s : steps) seen.emplace_back(s.title, s.status);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, S>>{{"Running cat App.jsx", S::running}, {"Running cat App.jsx", S::done},
                                                             {"Editing App.jsx", S::running}, {"Editing App.jsx", S::done},
                                                             {"Running false", S::running}, {"Running false", S::failed}}));
    EXPECT_EQ(result.steps.size(), 3u);
    EXPECT_EQ(result.details, "Tokens: 50 in, 25 out");
    EXPECT_EQ(result.output, "\n  Updated the header.\nDetails follow.\n");
    EXPECT_EQ(result.summary, "  Updated the header.");
    EXPECT_EQ(result.touchedFiles, std::vector<std::string>{"src/App.tsx"});
    EXPECT_EQ(readFile(project / ".tarn" / "last-codex-output.md"), result.output);
    EXPECT_FALSE(fs::exists(args[8]));

    // Plan Mode runs in the tool's read-only sandbox; the edits it refused are said.
    replay("codex.stderr", "ERROR codex_core::tools::router: error=patch rejected: writing is blocked by read-only sandbox\n");
    replay("codex.answer", "A plan.");
    result = request("Plan it", true);
    args = recordedArguments("codex");
    EXPECT_EQ(std::vector<std::string>(args.begin(), args.begin() + 4), (std::vector<std::string>{"exec", "--json", "--sandbox", "read-only"}));
    EXPECT_EQ(result.refusedEdits, std::vector<std::string>{""});
}

TEST_F(Codex, TheAutonomyFlagIsAskedOncePerExecutable) {
    installAnotherCodex("current");
    replay("codex.answer", "ok");
    request("x");
    request("y");
    EXPECT_EQ(helpProbes(), 1);
    EXPECT_EQ(recordedArguments("codex")[2], "--sandbox");

    // An older release, elsewhere, that lists the flag among its options.
    installAnotherCodex("older");
    replay("codex.help", oldHelp());
    request("x");
    EXPECT_EQ(helpProbes(), 2);
    auto args = recordedArguments("codex");
    ASSERT_EQ(args.size(), 9u);
    EXPECT_EQ(args[2], "--full-auto");
    EXPECT_EQ(args[3], "--skip-git-repo-check");

    // The same path with a new modification time is a new executable.
    fs::last_write_time(dir / "older" / "codex", fs::file_time_type::clock::now() + std::chrono::hours(1));
    fs::remove(standin / "codex.help");
    request("x");
    EXPECT_EQ(helpProbes(), 3);
    EXPECT_EQ(recordedArguments("codex")[2], "--sandbox");

    // A help that cannot be read gets today's option, and is asked again next time.
    installAnotherCodex("broken");
    replay("codex.help-status", "1");
    request("x");
    request("x");
    EXPECT_EQ(helpProbes(), 5);
    EXPECT_EQ(recordedArguments("codex")[2], "--sandbox");

    // Only an option of the list counts, not a mention in prose.
    EXPECT_EQ(CodexCLIService::autonomyArgumentsFromHelp("Note: --full-auto was removed, use --sandbox.\n"
                                                         "Options:\n  -s, --sandbox <MODE>  policy\n"),
              (std::vector<std::string>{"--sandbox", "workspace-write"}));
    EXPECT_EQ(CodexCLIService::autonomyArgumentsFromHelp("Options:\n  -a, --full-auto\n"),
              std::vector<std::string>{"--full-auto"});
}

TEST_F(Codex, FailuresSayWhatWentWrong) {
    EXPECT_EQ(failure(), "Codex did not return an output message.");  // exit 0, no answer file
    replay("codex.answer", " \n\t");
    EXPECT_EQ(failure(), "Codex did not return an output message.");
    EXPECT_FALSE(fs::exists(project / ".tarn"));

    // A failing run shows the tool's own error text.
    replay("codex.answer", "done");
    replay("codex.status", "1");
    replay("codex.stderr", "error: model overloaded\n");
    EXPECT_EQ(failure(), "error: model overloaded");
    // The reason in the event stream wins over standard error: the last error event or failed turn.
    replay("codex.stdout", "{\"type\":\"error\",\"message\":\"Reconnecting... 1/5\"}\n"
                           "{\"type\":\"turn.failed\",\"error\":{\"message\":\"stream disconnected: no network\"}}\n"
                           "not json\n");
    EXPECT_EQ(failure(), "stream disconnected: no network");
    fs::remove(standin / "codex.stdout");
    fs::remove(standin / "codex.status");
    fs::remove(standin / "codex.stderr");

    // Without a progress callback nothing is parsed, and a non-UTF-8 answer is decoded with replacements.
    replay("codex.answer", "caf\xE9 done");
    auto result = runTask(service.runRequest("x", root(), false, {}));
    EXPECT_EQ(result.output, "caf\uFFFD done");

    installTools(false);
    EXPECT_EQ(failure(), "Codex CLI is not installed or not in PATH.");
    EXPECT_FALSE(service.detectVersion());
}
