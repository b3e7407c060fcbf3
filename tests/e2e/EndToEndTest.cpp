// Tarn as a person uses it: the real window, real dev servers, real pointer and keyboard input.
#include "EndToEndFixture.h"
#include "process/ProcessGroupGuard.h"

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST_F(EndToEnd, FromOpeningTheStorefrontToSwitchingVersions) {
    if (!fs::exists("/usr/bin/xdotool")) GTEST_SKIP() << "xdotool is needed for real pointer input";
    writeStorefront();
    launch();
    app->open(Gio::File::create_for_path(project.string()));
    ASSERT_TRUE(previewShowsThePage());
    EXPECT_TRUE(fs::exists(project / ".tarn" / "instructions.md"));
    EXPECT_EQ(view().browser().header().routeChip().value(), "/");
    ASSERT_EQ(vm->versions().versions->size(), 1u);
    flush();
    auto console = view().browser().console().lines();
    EXPECT_NE(std::find(console.begin(), console.end(), "[LOG] storefront ready"), console.end());

    // Inspect mode, a click on the title: it is selected.
    activate("win.inspect");
    js("1");
    clickInPage("h1");
    ASSERT_TRUE(runLoopUntil([&] { return vm->selection().selectedInspectTargets->size() == 1; }, 20s));
    flush();
    ASSERT_EQ(composerPills().size(), 1u);
    EXPECT_EQ(SelectedTargetPillView::titleOf(composerPills()[0]->target()), "hero-title");
    // Located in the background: the file the page names, and the line of the title's text.
    EXPECT_TRUE(runLoopUntil([&] {
        return std::string(view().browser().header().selectionSummary().get_text()) == "hero-title  src/index.html:10";
    }, 20s)) << view().browser().header().selectionSummary().get_text();

    // A Ctrl-click on the paragraph opens the inline editor on its text; Apply edits the source.
    clickInPage("p.hero-copy", true);
    ASSERT_TRUE(runLoopUntil([&] { return *vm->selection().showInlineEditor; }, 20s));
    flush();
    EditDialog& dialog = view().inlineEditDialog();
    EXPECT_EQ(textOf(dialog.editor()), "Order before nine and pick it up warm.");
    dialog.editor().get_buffer()->set_text("Order before ten and pick it up warm.");
    dialog.respond("apply");
    flush();
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->selection().showInlineEditor; }, 20s));
    EXPECT_NE(readFile(project / "src" / "index.html").find("Order before ten"), std::string::npos);
    EXPECT_TRUE(pageShows("p.hero-copy", "Order before ten and pick it up warm."));

    // A version from here, then back: the preview reloads each time.
    activate("win.show-versions");
    VersionsWindow& versions = view().versionsWindow();
    versions.nameField().set_text("shorter-hours");
    click(versions.createButton());
    ASSERT_TRUE(runLoopUntil([&] { return vm->versions().versions->size() == 2; }, 20s));
    js("window.__beforeSwitch = 1; 1");
    runTask(vm->switchVersion("main"));
    EXPECT_TRUE(runLoopUntil([&] { return js("window.__beforeSwitch") == "undefined" || js("window.__beforeSwitch") == "null"; }, 30s));
    EXPECT_TRUE(vm->versions().versions->at(0).name == "main" ? vm->versions().versions->at(0).isCurrent : vm->versions().versions->at(1).isCurrent);
}

TEST_F(EndToEnd, ACodexRequestEditsTheProject) {
    writeStorefront();
    installAgents({"codex"});
    launch();
    app->open(Gio::File::create_for_path(project.string()));
    ASSERT_TRUE(previewShowsThePage());
    replay("codex.stdout",
           "{\"type\":\"turn.started\"}\n"
           "{\"type\":\"item.started\",\"item\":{\"id\":\"i0\",\"type\":\"command_execution\",\"command\":\"grep -n Fresh src/index.html\"}}\n"
           "{\"type\":\"item.completed\",\"item\":{\"id\":\"i0\",\"type\":\"command_execution\",\"command\":\"grep -n Fresh src/index.html\",\"exit_code\":0,\"status\":\"completed\"}}\n"
           "{\"type\":\"item.completed\",\"item\":{\"id\":\"i1\",\"type\":\"file_change\",\"changes\":[{\"path\":\"" +
               (project / "src" / "index.html").string() + "\",\"kind\":\"update\"}],\"status\":\"completed\"}}\n");
    replay("codex.edit", "sed -i 's/Fresh bread, every morning/Warm bread, all day/' src/index.html\n");
    replay("codex.answer", "Changed the title to \"Warm bread, all day\".\n\n- src/index.html");
    std::vector<std::string> progress;
    auto watching = vm->chat().messages.observe([&] {
        for (auto& m : *vm->chat().messages) {
            if (m.isThinking && (progress.empty() || progress.back() != m.content)) progress.push_back(m.content);
        }
    });

    Composer& composer = view().agent().composer();
    composer.editor().get_buffer()->set_text("Make the title say warm bread all day");
    click(composer.sendButton());
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->requests().isSending && vm->chat().messages->back().role == AgentRole::assistant &&
                                          !vm->chat().messages->back().isThinking; }, 30s));
    flush();
    EXPECT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), "Working on it now.");
    auto rows = view().agent().transcript().rows();
    EXPECT_EQ(rows.back()->actionTitles(), (std::vector<std::string>{"Running grep -n Fresh src/index.html", "Editing src/index.html"}));
    EXPECT_TRUE(text::startsWith(rows.back()->shownText(), "Changed the title"));
    EXPECT_EQ(*vm->requests().touchedFiles, std::vector<std::string>{"src/index.html"});
    EXPECT_TRUE(view().agent().touchedFiles().get_visible());
    EXPECT_TRUE(pageShows("h1", "Warm bread, all day"));
    watching.disconnect();
}

TEST_F(EndToEnd, ARequestThatNeverEndsIsStoppedFromTheStopButton) {
    writeStorefront();
    installAgents({"codex"});
    launch();
    app->open(Gio::File::create_for_path(project.string()));
    ASSERT_TRUE(runLoopUntil([&] { return vm->server().controller().isRunning(); }));
    replay("codex.stdout", "{\"type\":\"turn.started\"}\n");
    replay("codex.edit", "echo $$ > \"$TARN_STANDIN_DIR/codex.pid\"\nsh -c 'trap \"\" TERM; sleep 300' &\n"
                         "echo $! > \"$TARN_STANDIN_DIR/child.pid\"\nwait\n");
    Composer& composer = view().agent().composer();
    composer.editor().get_buffer()->set_text("Rewrite the whole site");
    click(composer.sendButton());
    const int child = waitForPidFile(standin / "child.pid", 20s);
    ASSERT_GT(child, 0);
    flush();
    ASSERT_TRUE(composer.sendMeansStop());
    const int tool = waitForPidFile(standin / "codex.pid");
    click(composer.sendButton());
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->requests().isSending; }, 20s));
    flush();
    EXPECT_EQ(view().agent().transcript().rows().back()->shownText(), "Request stopped.");
    EXPECT_FALSE(composer.sendMeansStop());
    EXPECT_TRUE(runLoopUntil([&] { return ::kill(tool, 0) != 0 && ::kill(child, 0) != 0; }, 10s));
}

TEST_F(EndToEnd, QuittingLeavesNoServerBehind) {
    if (!fs::exists("/usr/bin/xdotool")) GTEST_SKIP() << "xdotool is needed for real key presses";
    writeStorefront();
    launch();
    app->open(Gio::File::create_for_path(project.string()));
    ASSERT_TRUE(previewShowsThePage());
    int group = vm->server().controller().processGroup();
    int watcher = vm->server().controller().watcherProcess();
    ASSERT_TRUE(xdotool("windowfocus " + std::to_string(xid()) + " sleep 0.1 key ctrl+q"));
    ASSERT_TRUE(runLoopUntil([&] { return app->window() == nullptr; }, 20s));
    window = nullptr;
    EXPECT_TRUE(runLoopUntil([&] { return !processGroupAlive(group); }, 10s));
    EXPECT_TRUE(runLoopUntil([&] { return ::kill(watcher, 0) != 0; }, 10s));
}
