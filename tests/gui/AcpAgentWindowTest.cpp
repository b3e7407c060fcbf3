#include "GuiFixture.h"
#include "app/Composer.h"
#include "app/MessageRow.h"
#include "app/PreferencesWindow.h"

using namespace tarn;
using namespace tarn::test;

namespace {

// An agent of the Agent Client Protocol from the window: added in Preferences, chosen in the
// composer, its question answered on its card. The agent is the scripted one of the test tree.
class AcpWindow : public GuiFixture {
protected:
    std::filesystem::path scenario = dir / "scenario.json";

    // The newest card still waiting for its answer.
    MessageRow* waitingCard() {
        auto rows = view().agent().transcript().rows();
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
            if ((*it)->permissionCard() && !(*it)->message().permission->answer) return *it;
        }
        return nullptr;
    }
};

const char* kAsk = R"({"ask": {"toolCall": {"toolCallId": "e1", "title": "Edit src/App.tsx", "kind": "edit",
    "locations": [{"path": "src/App.tsx", "line": 1}],
    "content": [{"type": "diff", "path": "src/App.tsx", "oldText": "old line\n", "newText": "new line\n"}]},
    "options": [{"optionId": "yes", "name": "Allow once", "kind": "allow_once"},
                {"optionId": "always", "name": "Always allow", "kind": "allow_always"},
                {"optionId": "no", "name": "Reject", "kind": "reject_once"}]},
    "then": {"yes": [{"write": {"path": "src/App.tsx", "text": "export default () => 'edited';\n"}}, {"say": "Edited."}],
             "always": [{"write": {"path": "src/App.tsx", "text": "export default () => 'edited';\n"}}, {"say": "Edited."}]}})";

}  // namespace

TEST_F(AcpWindow, AnAgentAddedInPreferencesAsksOnACardAndWaitsForTheAnswer) {
    writeProject("sleep 300");
    // Its commands come before its session has an id, as the Claude Code adapter sends them.
    writeFile(scenario, std::string(R"({"beforeNew": [{"commands": [{"name": "review", "description": "Review the changes"},)") +
                            R"({"name": "init", "description": "Write AGENTS.md", "input": null}, {"name": "bad name"}, {"description": "no name"}]}],)" +
                            R"("turns": [[{"think": "Checking the file first."}, )" + kAsk + "], [" + kAsk + "]]}");
    launch();
    runTask(vm->loadProject(root()));
    vm->server().stop();

    PreferencesWindow& preferences = view().preferences();
    preferences.addAgent("Scripted", "");
    EXPECT_EQ(preferences.agentError(), "Give the command that starts the agent.");
    preferences.addAgent("Scripted", "/usr/bin/node '" + std::string(TARN_FIXTURES_DIR) + "/acp-agent.mjs' '" + scenario.string() + "'");
    EXPECT_EQ(preferences.agentError(), "");
    ASSERT_TRUE(runLoopUntil([&] { return vm->runtimes().availableAgentRuntimes->size() == 1; }));
    EXPECT_TRUE(preferences.agentRows().front().starts_with("Scripted — /usr/bin/node /")) << preferences.agentRows().front();
    activate("win.agent-runtime", Glib::Variant<Glib::ustring>::create("acp:Scripted"));
    EXPECT_EQ(vm->runtimes().selectedAgentRuntime->agent, "Scripted");

    const std::string before = readFile(project / "src" / "App.tsx");
    vm->requests().draftPrompt = "Edit it";
    activate("win.send-prompt");
    ASSERT_TRUE(runLoopUntil([&] { return waitingCard() != nullptr; }));
    flush();
    MessageRow* row = waitingCard();
    // The agent's live message stays below its question.
    EXPECT_TRUE(view().agent().transcript().rows().back()->message().isThinking);
    EXPECT_EQ(row->permissionCard()->choices(), (std::vector<std::string>{"Allow once", "Always allow", "Reject"}));
    EXPECT_EQ(PermissionCard::diffText(row->message().permission->diffs[0]), "src/App.tsx\n−old line\n+new line");
    // The turn waits for the answer.
    EXPECT_TRUE(*vm->requests().isSending);
    EXPECT_EQ(readFile(project / "src" / "App.tsx"), before);
    click(*buttonLabelled(*row, "Allow once"));
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->requests().isSending; }));
    flush();
    EXPECT_EQ(readFile(project / "src" / "App.tsx"), "export default () => 'edited';\n");
    EXPECT_EQ(row->permissionCard()->choices(), (std::vector<std::string>{"Answered: Allow once"}));
    MessageRow* reply = view().agent().transcript().rows().back();
    EXPECT_EQ(reply->shownText(), "Edited.");
    EXPECT_EQ(reply->thoughtsText(), "Checking the file first.");

    // The agent's commands are offered after "/", and picking one fills it in.
    Composer& composer = view().agent().composer();
    vm->requests().draftPrompt = "/";
    flush();
    EXPECT_EQ(composer.commandChoices(), (std::vector<std::string>{"review", "init"}));
    vm->requests().draftPrompt = "/RE";
    flush();
    EXPECT_EQ(composer.commandChoices(), (std::vector<std::string>{"review"}));
    composer.completeCommand("review");
    EXPECT_EQ(*vm->requests().draftPrompt, "/review ");
    flush();
    EXPECT_TRUE(composer.commandChoices().empty());
    EXPECT_TRUE(reply->changesSummary().starts_with("1 file, +1 ")) << reply->changesSummary();

    // Stopped while it asks: the card says so, the file stays, the reply says how it stopped.
    vm->requests().draftPrompt = "Again";
    activate("win.send-prompt");
    ASSERT_TRUE(runLoopUntil([&] { return waitingCard() != nullptr; }));
    MessageRow* second = waitingCard();
    activate("win.stop-request");
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->requests().isSending; }));
    flush();
    EXPECT_EQ(second->permissionCard()->choices(), (std::vector<std::string>{"Stopped before an answer."}));
    EXPECT_EQ(readFile(project / "src" / "App.tsx"), "export default () => 'edited';\n");
    EXPECT_EQ(view().agent().transcript().rows().back()->shownText(), "Request stopped. Scripted stopped.");
}

TEST_F(AcpWindow, AlwaysAllowIsKeptForTheProjectUntilTakenBackInPreferences) {
    writeProject("sleep 300");
    writeFile(scenario, std::string("{\"turns\": [[") + kAsk + "], [" + kAsk + "], [" + kAsk + "]]}");
    launch();
    runTask(vm->loadProject(root()));
    vm->server().stop();
    PreferencesWindow& preferences = view().preferences();
    EXPECT_EQ(preferences.allowedRows(), (std::vector<std::string>{"Nothing yet — Agents ask before each edit and command."}));
    preferences.addAgent("Scripted", "/usr/bin/node '" + std::string(TARN_FIXTURES_DIR) + "/acp-agent.mjs' '" + scenario.string() + "'");
    ASSERT_TRUE(runLoopUntil([&] { return vm->runtimes().availableAgentRuntimes->size() == 1; }));
    activate("win.agent-runtime", Glib::Variant<Glib::ustring>::create("acp:Scripted"));

    auto send = [&](const std::string& words) {
        vm->requests().draftPrompt = words;
        activate("win.send-prompt");
    };
    send("Edit it");
    ASSERT_TRUE(runLoopUntil([&] { return waitingCard() != nullptr; }));
    click(*buttonLabelled(*waitingCard(), "Always allow"));
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->requests().isSending; }));
    ASSERT_EQ(preferences.allowedRows().size(), 1u);
    EXPECT_TRUE(preferences.allowedRows()[0].starts_with("Edit files — Scripted · ")) << preferences.allowedRows()[0];

    // The next edit in this project is answered for the user, and the card says why.
    writeFile(project / "src" / "App.tsx", "before\n");
    send("Again");
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->requests().isSending; }));
    EXPECT_EQ(readFile(project / "src" / "App.tsx"), "export default () => 'edited';\n");
    flush();
    MessageRow* card = nullptr;
    for (auto* row : view().agent().transcript().rows()) {
        if (row->permissionCard()) card = row;
    }
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->message().permission->answer, "always");
    EXPECT_TRUE(card->permissionCard()->choices()[0].starts_with("Allowed without asking")) << card->permissionCard()->choices()[0];

    // Taken back: asked again.
    preferences.takeBack(0);
    EXPECT_EQ(preferences.allowedRows().size(), 1u);
    EXPECT_TRUE(preferences.allowedRows()[0].starts_with("Nothing yet"));
    send("Once more");
    ASSERT_TRUE(runLoopUntil([&] { return waitingCard() != nullptr; }));
    activate("win.stop-request");
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->requests().isSending; }));
}
