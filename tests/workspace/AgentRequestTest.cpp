#include "WorkspaceFixture.h"
#include "process/ProcessGroupGuard.h"

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class Requests : public WorkspaceFixture {
protected:
    // A project open with its server not started (the requests do not need it).
    void open(const std::vector<std::string>& agents) {
        writeProject("sleep 300");
        installAgents(agents);
        make();
        runTask(vm->loadProject(root()));
        vm->server().stop();
    }
    const AgentMessage& reply() const { return vm->chat().messages->back().role == AgentRole::assistant
                                                   ? vm->chat().messages->back()
                                                   : vm->chat().messages->at(vm->chat().messages->size() - 2); }
    std::vector<std::string> stepTitles(const AgentMessage& m) const {
        std::vector<std::string> titles;
        for (auto& s : m.plan) titles.push_back(s.title);
        return titles;
    }
    // Every text the thinking message showed, in order; then, once a message starting with
    // `until` appears, the lines still waiting to be shown.
    std::vector<std::string> shown;
    sigc::connection watchThinking(const std::string& until = "\x01") {
        return vm->chat().messages.observe([this, until] {
            for (auto& m : *vm->chat().messages) {
                if (m.isThinking && (shown.empty() || shown.back() != m.content)) shown.push_back(m.content);
            }
            if (text::startsWith(vm->chat().messages->back().content, until)) {
                for (auto& line : vm->thinking().pending()) shown.push_back(line);
            }
        });
    }
    bool showed(const std::string& line) const { return std::find(shown.begin(), shown.end(), line) != shown.end(); }
};

const char* kCodexEvents =
    "{\"type\":\"thread.started\",\"thread_id\":\"t\"}\n"
    "{\"type\":\"turn.started\"}\n"
    "{\"type\":\"item.completed\",\"item\":{\"id\":\"m\",\"type\":\"agent_message\",\"text\":\"Looking at the sources.\"}}\n"
    "{\"type\":\"item.started\",\"item\":{\"id\":\"c\",\"type\":\"command_execution\",\"command\":\"ls src\"}}\n"
    "{\"type\":\"item.completed\",\"item\":{\"id\":\"c\",\"type\":\"command_execution\",\"command\":\"ls src\","
    "\"exit_code\":0,\"status\":\"completed\"}}\n"
    "{\"type\":\"turn.completed\",\"usage\":{\"input_tokens\":7,\"output_tokens\":3}}\n";

}  // namespace

TEST_F(Requests, ThroughCodexWithAndWithoutPlanMode) {
    open({"codex"});
    replay("codex.stdout", kCodexEvents);
    replay("codex.answer", "Made the header sticky.\nDetails: App.tsx now uses position: sticky.");
    replay("codex.edit", "echo '/* sticky */' >> src/App.tsx\n");
    vm->handleInspectSelection(target("h1", "Hello shop"));
    auto thinking = watchThinking("Made the header sticky.");
    int reload = preview.reloads;

    send("  Make the header sticky \n");
    EXPECT_EQ(*vm->requests().draftPrompt, "");
    // The user's words, with the selection, then the reply in place of the indicator.
    const AgentMessage& user = vm->chat().messages->at(vm->chat().messages->size() - 2);
    EXPECT_EQ(user.role, AgentRole::user);
    EXPECT_EQ(user.content, "Make the header sticky");
    ASSERT_EQ(user.selectedTargets.size(), 1u);
    const AgentMessage& answer = vm->chat().messages->back();
    EXPECT_FALSE(answer.isThinking);
    // The answer's first line is its summary: said once.
    EXPECT_EQ(answer.content, "Made the header sticky.\nDetails: App.tsx now uses position: sticky.");
    // The steps the tool took, with how they ended, and how the run went.
    ASSERT_EQ(answer.steps.size(), 1u);
    EXPECT_EQ(answer.steps[0].title, "Running ls src");
    EXPECT_EQ(answer.steps[0].status, AgentStep::Status::done);
    EXPECT_TRUE(answer.plan.empty());
    EXPECT_EQ(answer.details, "Codex · Tokens: 7 in, 3 out");
    EXPECT_EQ(*vm->requests().touchedFiles, std::vector<std::string>{"src/App.tsx"});
    EXPECT_NE(preview.reloads, reload);
    EXPECT_FALSE(*vm->requests().isSending);
    // The request carried the selected element.
    auto args = readFile(standin / "codex.args");
    EXPECT_NE(args.find("Make the header sticky\n\nSelected UI elements from the live preview (prioritize these when "
                        "mapping code):\n1. component: App; fileHint: src/App.tsx; selector: h1; text: \"Hello shop\""),
              std::string::npos);
    // Progress was shown line by line, each once.
    EXPECT_EQ(shown.front(), "Working on it now.");
    EXPECT_TRUE(showed("Looking at the sources."));
    // The tool's housekeeping is in the agent log, not among the progress shown nor the server's log.
    EXPECT_FALSE(showed("Reading additional input from stdin..."));
    EXPECT_FALSE(logged("Codex: Reading additional input from stdin..."));
    const auto& agentLog = *vm->runtimes().agentLog;
    EXPECT_NE(std::find(agentLog.begin(), agentLog.end(), "Codex: Reading additional input from stdin..."), agentLog.end());

    // Plan mode: the summary alone, what the sandbox refused, no reload and no version refresh.
    vm->requests().planModeEnabled = true;
    reload = preview.reloads;
    replay("codex.stderr", "ERROR codex_core::tools::router: error=patch rejected: writing is blocked by read-only sandbox\n");
    send("Plan a settings page");
    EXPECT_EQ(vm->chat().messages->back().content,
              "Made the header sticky.\n\nThe agent wanted to change the project; Plan Mode kept every file as it was.");
    EXPECT_EQ(preview.reloads, reload);
    EXPECT_NE(readFile(standin / "codex.args").find("Plan mode is ON."), std::string::npos);
}

TEST_F(Requests, AClaudeCodeFailureFallsBackAndSaysWhy) {
    open({"claude"});
    replay("claude.stdout", readFile(std::string(TARN_FIXTURES_DIR) + "/agent-output/claude-not-logged-in.json"));
    replay("claude.status", "1");
    auto thinking = watchThinking("Claude Code could not run");
    send("replace \"Hello shop\" with \"Welcome\"");
    ASSERT_TRUE(settledRequest());
    // The switch-over lines, the reason, then the local agent's reply.
    EXPECT_TRUE(showed("Claude Code unavailable, switching to local agent..."));
    EXPECT_TRUE(showed("Using local fallback agent..."));
    EXPECT_TRUE(said("Claude Code could not run: Not logged in \u00B7 Please run /login"));
    EXPECT_EQ(reply().content, "Applied 1 file change(s).");
    EXPECT_EQ(*vm->requests().touchedFiles, std::vector<std::string>{"src/App.tsx"});
    EXPECT_NE(readFile(project / "src" / "App.tsx").find("Welcome"), std::string::npos);

    // The local agent failing too: its own reason, the touched files left alone.
    send("replace \"Not on the page\" with \"x\"");
    EXPECT_EQ(reply().content, "Agent failed: Could not find matching text in source files.");
    EXPECT_EQ(*vm->requests().touchedFiles, std::vector<std::string>{"src/App.tsx"});
}

TEST_F(Requests, WithoutAToolOrAProject) {
    make();
    vm->requests().draftPrompt = " \n\t ";
    runTask(vm->requests().sendPrompt());
    EXPECT_EQ(vm->chat().messages->size(), 1u);
    EXPECT_EQ(*vm->requests().draftPrompt, " \n\t ");
    send("Do something");
    EXPECT_EQ(vm->chat().messages->size(), 2u);
    EXPECT_EQ(vm->chat().messages->back().content, "Open a project first so I can inspect and edit real files.");
    EXPECT_EQ(vm->chat().messages->back().role, AgentRole::assistant);

    // A project, no tool: the local agent in plan mode edits nothing and reloads nothing.
    writeProject("sleep 300");
    runTask(vm->loadProject(root()));
    vm->server().stop();
    vm->requests().planModeEnabled = true;
    int reload = preview.reloads;
    send("uppercase the title");
    EXPECT_EQ(reply().content, "Plan created. Switch off Plan Mode to apply changes.");
    EXPECT_EQ(reply().plan.size(), 4u);
    EXPECT_EQ(preview.reloads, reload);

    // The change description dialog: blank text keeps it open; text runs and closes it.
    vm->requests().planModeEnabled = false;
    vm->requests().showChangeDescription = true;
    vm->requests().changeDescriptionDraft = "  ";
    runTask(vm->requests().submitChangeDescription());
    EXPECT_TRUE(*vm->requests().showChangeDescription);
    vm->requests().changeDescriptionDraft = "replace \"Hello shop\" with \"Hi\"";
    runTask(vm->requests().submitChangeDescription());
    EXPECT_FALSE(*vm->requests().showChangeDescription);
    EXPECT_EQ(*vm->requests().changeDescriptionDraft, "replace \"Hello shop\" with \"Hi\"");
    EXPECT_EQ(reply().content, "Applied 1 file change(s).");
    EXPECT_NE(preview.reloads, reload);
}

TEST_F(Requests, AToolThatNeverEndsCanBeStopped) {
    open({"codex"});
    replay("codex.stdout", "{\"type\":\"turn.started\"}\n");
    replay("codex.edit", "echo '/* half done */' >> src/App.tsx\necho $$ > \"$TARN_STANDIN_DIR/codex.pid\"\n"
                         "echo '{\"type\":\"item.started\",\"item\":{\"id\":\"c1\",\"type\":\"command_execution\","
                         "\"command\":\"npm test\",\"status\":\"in_progress\"}}'\n"
                         "sh -c 'trap \"\" TERM; sleep 300' &\necho $! > \"$TARN_STANDIN_DIR/child.pid\"\nwait\n");
    int reload = preview.reloads;
    vm->requests().draftPrompt = "Rewrite everything";
    spawn(vm->requests().sendPrompt());
    const int child = waitForPidFile(standin / "child.pid");
    ASSERT_GT(child, 0);
    EXPECT_TRUE(*vm->requests().isSending);
    const int tool = waitForPidFile(standin / "codex.pid");

    vm->requests().cancel();
    ASSERT_TRUE(settledRequest());
    EXPECT_EQ(reply().content, "Request stopped.");
    EXPECT_TRUE(reply().plan.empty());
    // The steps so far stay with the stopped reply.
    ASSERT_EQ(reply().steps.size(), 1u);
    EXPECT_EQ(reply().steps[0].title, "Running npm test");
    EXPECT_FALSE(said("Codex unavailable, switching to local agent..."));
    // What it changed before it stopped is listed, and shown.
    EXPECT_EQ(*vm->requests().touchedFiles, std::vector<std::string>{"src/App.tsx"});
    EXPECT_NE(preview.reloads, reload);
    // Nothing of the tool is left, not even what ignores the polite request.
    EXPECT_TRUE(runLoopUntil([&] { return ::kill(tool, 0) != 0 && ::kill(child, 0) != 0; }, 10s));
}

TEST_F(Requests, InlineEditsThroughEachPath) {
    open({});
    // The checks come first.
    vm->selection().inlineTextDraft = "New";
    runTask(vm->requests().submitInlineEdit());
    EXPECT_EQ(systemMessages().back(), "Select an element in Inspect mode first.");
    // A Command-click (Ctrl here) on text opens the editor with the text.
    vm->handleInspectSelection(target("h1", "Hello shop", true, true));
    EXPECT_TRUE(*vm->selection().showInlineEditor);
    EXPECT_EQ(*vm->selection().inlineTextDraft, "Hello shop");
    vm->selection().inlineTextDraft = "  \n";
    runTask(vm->requests().submitInlineEdit());
    EXPECT_EQ(systemMessages().back(), "Inline text cannot be empty.");
    EXPECT_TRUE(*vm->selection().showInlineEditor);

    // The local agent: reloads, does not refresh the versions, no user message.
    std::size_t userMessages = 0;
    vm->selection().inlineTextDraft = "Hello store";
    int reload = preview.reloads;
    runTask(vm->requests().submitInlineEdit());
    for (auto& m : *vm->chat().messages) userMessages += m.role == AgentRole::user;
    EXPECT_EQ(userMessages, 0u);
    EXPECT_EQ(reply().content, "Updated text in src/App.tsx.");
    EXPECT_FALSE(*vm->selection().showInlineEditor);
    EXPECT_NE(preview.reloads, reload);
    EXPECT_NE(readFile(project / "src" / "App.tsx").find("Hello store"), std::string::npos);

    // Nothing to replace: the dialog stays open.
    vm->selection().showInlineEditor = true;
    runTask(vm->requests().submitInlineEdit());
    EXPECT_EQ(reply().content, "Inline edit failed: Could not find matching text in source files.");
    EXPECT_TRUE(*vm->selection().showInlineEditor);

    // With Codex installed, an edit the matcher makes exactly never reaches the tool.
    installAgents({"codex"});
    vm->runtimes().refresh();
    vm->requests().planModeEnabled = true;
    vm->handleInspectSelection(target("h1", "Hello store", true));
    vm->selection().inlineTextDraft = "Hello market";
    runTask(vm->requests().submitInlineEdit());
    EXPECT_EQ(reply().content, "Updated text in src/App.tsx.");
    ASSERT_EQ(reply().steps.size(), 1u);
    EXPECT_EQ(reply().steps[0].title, "Editing src/App.tsx");
    EXPECT_FALSE(fs::exists(standin / "codex.args"));

    // Text the matcher refuses (shown twice): the tool is asked, told why, with Plan Mode off
    // whatever the switch says, and the versions are refreshed.
    shell("printf 'export const A = () => <p>Twice</p>;\nexport const B = () => <p>Twice</p>;\n' > src/Twice.tsx && "
          "git add -A && git commit -qm twice");
    vm->handleInspectSelection(target("p", "Twice", true));
    vm->selection().inlineTextDraft = "Once";
    replay("codex.answer", "Replaced the first one.");
    replay("codex.edit", "sed -i '0,/Twice/s//Once/' src/Twice.tsx\n");
    shell("git checkout -q -b edits");
    runTask(vm->requests().submitInlineEdit());
    EXPECT_EQ(reply().content, "Replaced the first one.");
    EXPECT_FALSE(*vm->selection().showInlineEditor);
    auto args = readFile(standin / "codex.args");
    EXPECT_NE(args.find("Plan mode is OFF."), std::string::npos);
    EXPECT_NE(args.find("Apply a minimal copy edit.\nReplace this exact UI text:\n\"Twice\"\n\nWith:\n\"Once\"\n\n"
                        "Preferred file hint: src/App.tsx\nA direct text replacement was not made: This text appears in 2 "
                        "places"),
              std::string::npos);
    EXPECT_EQ(vm->versions().versions->size(), 2u);

    // The tool failing then: its reason, and the dialog stays open.
    shell("git checkout -q src/Twice.tsx");
    replay("codex.status", "2");
    replay("codex.stderr", "error: unexpected argument\n");
    fs::remove(standin / "codex.edit");
    vm->handleInspectSelection(target("p", "Twice", true, true));
    vm->selection().inlineTextDraft = "Thrice";
    runTask(vm->requests().submitInlineEdit());
    EXPECT_EQ(reply().content, "Inline edit failed: Codex could not run: error: unexpected argument");
    EXPECT_TRUE(*vm->selection().showInlineEditor);
}

TEST_F(Requests, TheSelection) {
    make();
    vm->handleInspectSelection(target("a", "A"));
    Uuid pulse = *vm->selection().inspectSelectionPulseToken;
    vm->handleInspectSelection(target("b", "B"));
    EXPECT_NE(*vm->selection().inspectSelectionPulseToken, pulse);
    pulse = *vm->selection().inspectSelectionPulseToken;
    auto updated = target("a", "A2");
    vm->handleInspectSelection(updated);  // the same element again: replaced in place, no pulse
    EXPECT_EQ(*vm->selection().inspectSelectionPulseToken, pulse);
    ASSERT_EQ(vm->selection().selectedInspectTargets->size(), 2u);
    EXPECT_EQ(vm->selection().selectedInspectTargets->at(0).textSnippet, "A2");
    EXPECT_EQ((*vm->selection().selectedInspectTarget)->selectionKey, "b");

    vm->handleInspectSelection(target("b", "B", false));  // deselected on the page
    EXPECT_EQ(vm->selection().selectedInspectTargets->size(), 1u);
    EXPECT_EQ((*vm->selection().selectedInspectTarget)->selectionKey, "a");
    // A Command-click on an element without text selects it without opening the editor.
    vm->handleInspectSelection(target("c", "", true, true));
    EXPECT_FALSE(*vm->selection().showInlineEditor);
    pulse = *vm->selection().inspectSelectionPulseToken;
    vm->selection().removeSelectedTarget("c");
    vm->selection().removeSelectedTarget("a");
    EXPECT_TRUE(vm->selection().selectedInspectTargets->empty());
    EXPECT_FALSE(vm->selection().selectedInspectTarget->has_value());
    EXPECT_EQ(*vm->selection().inspectSelectionPulseToken, pulse);

    // A text the page shows twice: the inline editor says so before the edit; once, it says nothing.
    auto twice = target("d", "Add to basket", true, true);
    twice.sameTextCount = 2;
    vm->handleInspectSelection(twice);
    EXPECT_TRUE(*vm->selection().showInlineEditor);
    EXPECT_EQ(*vm->selection().inlineEditNotice, "This text shows 2 times on the page. Where they all come from one place in the sources, "
                                     "the edit changes every one of them.");
    vm->selection().showInlineEditor = false;
    vm->handleInspectSelection(target("e", "Once", true, false));
    vm->selection().editSelected();
    EXPECT_EQ(*vm->selection().inlineTextDraft, "Once");
    EXPECT_EQ(*vm->selection().inlineEditNotice, "");
}

TEST_F(Requests, TheThinkingQueue) {
    make();
    auto thinking = watchThinking();
    vm->thinking().begin("Start");
    vm->thinking().push("same");
    vm->thinking().push(" same ");
    vm->thinking().push("other");
    vm->thinking().push("same");
    ASSERT_TRUE(runLoopUntil([&] { return shown.size() >= 4; }));
    EXPECT_EQ(shown, (std::vector<std::string>{"Start", "same", "other", "same"}));

    // Forty-one lines faster than they are shown: the first is dropped.
    shown.clear();
    vm->thinking().begin("Again");
    for (int i = 0; i <= 40; ++i) vm->thinking().push("line " + std::to_string(i));
    ASSERT_TRUE(runLoopUntil([&] { return !shown.empty() && shown.back() == "line 40"; }));
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "line 0"), 0);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "line 1"), 1);

    // The reply takes the indicator's place; a later reply without an indicator is appended.
    std::size_t count = vm->chat().messages->size();
    vm->thinking().complete("Done", {});
    EXPECT_EQ(vm->chat().messages->size(), count);
    EXPECT_EQ(vm->chat().messages->back().content, "Done");
    EXPECT_FALSE(vm->chat().messages->back().isThinking);
    vm->thinking().complete("Another", {});
    EXPECT_EQ(vm->chat().messages->size(), count + 1);

    // The loop drains and ends; it does not outlive the controller either.
    vm->thinking().begin("Last");
    std::weak_ptr<AppViewModel> weak = vm;
    vm.reset();
    EXPECT_TRUE(weak.expired());
    runLoopUntil([] { return false; }, 50ms);
}

TEST_F(Requests, AStyleChangeIsWrittenWithUndoOrHandedToTheAgentInWords) {
    open({});
    InspectTarget heading = target("h1", "Hello shop");
    heading.line = 2;
    heading.column = 14;
    heading.locatedBy = LocatedBy::text;
    vm->handleInspectSelection(heading);
    ASSERT_TRUE(runLoopUntil([&] { return vm->selection().selectedInspectTarget->has_value(); }));

    // Its file takes styles from a sheet that cannot be found: nothing written; the change in
    // words waits in the composer.
    writeFile(project / "src" / "App.tsx", "import './Missing.css'; export default function App() {\n  return <h1>Hello shop</h1>;\n}\n");
    const std::string plain = readFile(project / "src" / "App.tsx");
    runTask(vm->requests().applyStyle({{{style::Property::fontSize, "32px"}, "24px"}}));
    EXPECT_TRUE(text::startsWith(reply().content, "Style not changed: No style sheet of this element's file")) << reply().content;
    EXPECT_EQ(*vm->requests().draftPrompt, "On the <h1> element (src/App.tsx:2), set the font size to 32px.");
    EXPECT_EQ(readFile(project / "src" / "App.tsx"), plain);

    // With Tailwind, its class list: a reply between checkpoints, which Undo turns back.
    writeFile(project / "package.json", R"({"name": "web-app", "scripts": {"dev": "sleep 300"}, "devDependencies": {"tailwindcss": "4"}})");
    writeFile(project / "src" / "App.tsx", "export default function App() {\n  return <h1 className=\"text-2xl\">Hello shop</h1>;\n}\n");
    int reload = preview.reloads;
    runTask(vm->requests().applyStyle({{{style::Property::fontSize, "30px"}, "24px"}, {{style::Property::fontWeight, "700"}, "400"}}));
    EXPECT_EQ(reply().content, "Style: font size 24px → 30px on App, src/App.tsx:2\nStyle: font weight 400 → 700 on App, src/App.tsx:2");
    EXPECT_NE(readFile(project / "src" / "App.tsx").find("<h1 className=\"text-3xl font-bold\">"), std::string::npos);
    EXPECT_NE(preview.reloads, reload);
    ASSERT_TRUE(reply().changes.has_value());
    runTask(vm->history().undo(reply().id));
    EXPECT_NE(readFile(project / "src" / "App.tsx").find("<h1 className=\"text-2xl\">"), std::string::npos);
}
