// Tarn as a person uses it: the real window, real dev servers, real pointer and keyboard input.
#include "../gui/GuiFixture.h"
#include "PageScript.h"
#include "app/SelectedTargetPillView.h"
#include "process/ProcessGroupGuard.h"

#include <gdk/x11/gdkx.h>
#include <sstream>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class EndToEnd : public GuiFixture {
protected:
    bool xdotool(const std::string& arguments) {
        if (!std::getenv("DISPLAY") || !fs::exists("/usr/bin/xdotool")) return false;
        return std::system(("/usr/bin/xdotool " + arguments).c_str()) == 0;
    }
    unsigned long xid() { return gdk_x11_surface_get_xid(gtk_native_get_surface(GTK_NATIVE(window->gobj()))); }

    // Runs a script in the preview's page and gives its result as JSON text.
    std::string js(const std::string& script) {
        return evaluateInPage(view().browser().preview().webView(), script);
    }

    // A real click (with Ctrl held, or not) at the centre of the page element `query` finds.
    void clickInPage(const std::string& query, bool ctrl = false) {
        std::string rect = js("(() => { const r = document.querySelector(" + json::Json(query).dump() +
                              ").getBoundingClientRect(); return [r.left + Math.min(r.width / 2, 20), r.top + r.height / 2]; })()");
        auto point = json::Json::parse(rect, nullptr, false);
        ASSERT_TRUE(point.is_array()) << rect;
        graphene_point_t inPage = GRAPHENE_POINT_INIT(point[0].get<float>(), point[1].get<float>()), inWindow;
        ASSERT_TRUE(gtk_widget_compute_point(GTK_WIDGET(view().browser().preview().webView()), GTK_WIDGET(window->gobj()),
                                             &inPage, &inWindow));
        // Without a window manager the window sits at the screen's top left corner.
        std::ostringstream command;
        command << "windowfocus " << xid() << " mousemove " << int(inWindow.x) << " " << int(inWindow.y) << " sleep 0.2 "
                << (ctrl ? "keydown ctrl click 1 keyup ctrl" : "click 1");
        ASSERT_TRUE(xdotool(command.str()));
    }

    std::vector<SelectedTargetPillView*> composerPills() {
        std::vector<SelectedTargetPillView*> out;
        for (auto* c = view().agent().composer().pills().get_first_child(); c; c = c->get_next_sibling()) {
            out.push_back(static_cast<SelectedTargetPillView*>(c));
        }
        return out;
    }

    bool pageShows(const std::string& selector, const std::string& text) {
        return runLoopUntil([&] {
            return js("document.querySelector(" + json::Json(selector).dump() + ")?.textContent.trim()") ==
                   json::Json(text).dump();
        }, 30s);
    }
};

}  // namespace

TEST_F(EndToEnd, FromOpeningTheStorefrontToSwitchingVersions) {
    if (!fs::exists("/usr/bin/xdotool")) GTEST_SKIP() << "xdotool is needed for real pointer input";
    writeStorefront();
    launch();
    app->open(Gio::File::create_for_path(project.string()));
    ASSERT_TRUE(previewShowsThePage());
    EXPECT_TRUE(fs::exists(project / ".tarn" / "instructions.md"));
    EXPECT_EQ(view().browser().header().routeChip().value(), "/");
    ASSERT_EQ(vm->versions->size(), 1u);
    flush();
    auto console = view().browser().console().lines();
    EXPECT_NE(std::find(console.begin(), console.end(), "[LOG] storefront ready"), console.end());

    // Inspect mode, a click on the title: it is selected.
    activate("win.toggle-inspect");
    js("1");
    clickInPage("h1");
    ASSERT_TRUE(runLoopUntil([&] { return vm->selectedInspectTargets->size() == 1; }, 20s));
    flush();
    ASSERT_EQ(composerPills().size(), 1u);
    EXPECT_EQ(SelectedTargetPillView::titleOf(composerPills()[0]->target()), "hero-title");
    EXPECT_EQ(std::string(view().browser().header().selectionSummary().get_text()), "hero-title  src/index.html");

    // A Ctrl-click on the paragraph opens the inline editor on its text; Apply edits the source.
    clickInPage("p.hero-copy", true);
    ASSERT_TRUE(runLoopUntil([&] { return *vm->showInlineEditSheet; }, 20s));
    flush();
    InlineEditSheet& sheet = view().inlineEditSheet();
    EXPECT_EQ(textOf(sheet.editor()), "Order before nine and pick it up warm.");
    sheet.editor().get_buffer()->set_text("Order before ten and pick it up warm.");
    click(sheet.actionButton());
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->showInlineEditSheet; }, 20s));
    EXPECT_NE(readFile(project / "src" / "index.html").find("Order before ten"), std::string::npos);
    EXPECT_TRUE(pageShows("p.hero-copy", "Order before ten and pick it up warm."));

    // A version from here, then back: the preview reloads each time.
    activate("win.show-versions");
    VersionsSheet& versions = view().versionsSheet();
    versions.nameField().set_text("shorter-hours");
    click(versions.createButton());
    ASSERT_TRUE(runLoopUntil([&] { return vm->versions->size() == 2; }, 20s));
    js("window.__beforeSwitch = 1; 1");
    runTask(vm->switchVersion("main"));
    EXPECT_TRUE(runLoopUntil([&] { return js("window.__beforeSwitch") == "undefined" || js("window.__beforeSwitch") == "null"; }, 30s));
    EXPECT_TRUE(vm->versions->at(0).name == "main" ? vm->versions->at(0).isCurrent : vm->versions->at(1).isCurrent);
}

TEST_F(EndToEnd, ACodexRequestEditsTheProject) {
    writeStorefront();
    installAgents({"codex"});
    launch();
    app->open(Gio::File::create_for_path(project.string()));
    ASSERT_TRUE(previewShowsThePage());
    replay("codex.stdout",
           "{\"type\":\"turn.started\"}\n"
           "{\"type\":\"item.started\",\"item\":{\"type\":\"command_execution\",\"command\":\"grep -n Fresh src/index.html\"}}\n"
           "{\"type\":\"item.completed\",\"item\":{\"type\":\"file_change\",\"path\":\"src/index.html\"}}\n");
    replay("codex.edit", "sed -i 's/Fresh bread, every morning/Warm bread, all day/' src/index.html\n");
    replay("codex.answer", "Changed the title to \"Warm bread, all day\".\n\n- src/index.html");
    std::vector<std::string> progress;
    auto watching = vm->messages.observe([&] {
        for (auto& m : *vm->messages) {
            if (m.isThinking && (progress.empty() || progress.back() != m.content)) progress.push_back(m.content);
        }
    });

    Composer& composer = view().agent().composer();
    composer.editor().get_buffer()->set_text("Make the title say warm bread all day");
    click(composer.sendButton());
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->isSending && vm->messages->back().role == AgentRole::assistant &&
                                          !vm->messages->back().isThinking; }, 30s));
    flush();
    EXPECT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), "Working on it now.");
    auto rows = view().agent().transcript().rows();
    EXPECT_EQ(rows.back()->stepSymbols().size(), 3u);
    EXPECT_TRUE(text::startsWith(rows.back()->shownText(), "Changed the title"));
    EXPECT_EQ(*vm->touchedFiles, std::vector<std::string>{"src/index.html"});
    EXPECT_TRUE(view().agent().touchedFiles().get_visible());
    EXPECT_TRUE(pageShows("h1", "Warm bread, all day"));
    watching.disconnect();
}

TEST_F(EndToEnd, ARequestThatNeverEndsIsStoppedFromTheStopButton) {
    writeStorefront();
    installAgents({"codex"});
    launch();
    app->open(Gio::File::create_for_path(project.string()));
    ASSERT_TRUE(runLoopUntil([&] { return vm->devServer().isRunning(); }));
    replay("codex.stdout", "{\"type\":\"turn.started\"}\n");
    replay("codex.edit", "echo $$ > \"$TARN_STANDIN_DIR/codex.pid\"\nsh -c 'trap \"\" TERM; sleep 300' &\n"
                         "echo $! > \"$TARN_STANDIN_DIR/child.pid\"\nwait\n");
    Composer& composer = view().agent().composer();
    composer.editor().get_buffer()->set_text("Rewrite the whole site");
    click(composer.sendButton());
    ASSERT_TRUE(runLoopUntil([&] { return fs::exists(standin / "child.pid"); }, 20s));
    flush();
    ASSERT_TRUE(composer.sendMeansStop());
    int tool = std::stoi(readFile(standin / "codex.pid"));
    int child = std::stoi(readFile(standin / "child.pid"));
    click(composer.sendButton());
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->isSending; }, 20s));
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
    int group = vm->devServer().processGroup();
    int watcher = vm->devServer().watcherProcess();
    ASSERT_TRUE(xdotool("windowfocus " + std::to_string(xid()) + " sleep 0.1 key ctrl+q"));
    ASSERT_TRUE(runLoopUntil([&] { return app->window() == nullptr; }, 20s));
    window = nullptr;
    EXPECT_TRUE(runLoopUntil([&] { return !processGroupAlive(group); }, 10s));
    EXPECT_TRUE(runLoopUntil([&] { return ::kill(watcher, 0) != 0; }, 10s));
}

TEST_F(EndToEnd, TheViteExampleInstallsAndRuns) {
    // Its dependencies come from the npm registry; without it there is nothing to run.
    if (std::system("PATH=/usr/bin:/bin timeout 30 npm ping >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "the npm registry cannot be reached, so the example's dependencies cannot be installed";
    }
    fs::copy(std::string(TARN_FIXTURES_DIR) + "/../../examples/bakery", project,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::remove_all(project / "node_modules");
    shell("git init -q -b main . && git config user.email t@example.com && git config user.name T && git add -A && "
          "git commit -qm init");
    launch();
    app->open(Gio::File::create_for_path(project.string()));
    ASSERT_TRUE(runLoopUntil([&] { return vm->devServer().isRunning() || vm->serverState->kind() == ServerRuntimeState::Case::failed; },
                             std::chrono::minutes(5)))
        << text::join(log(), "\n");
    ASSERT_TRUE(vm->devServer().isRunning()) << text::join(log(), "\n");
    EXPECT_TRUE(fs::is_directory(project / "node_modules" / "vite"));
    const auto lines = log();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](auto& l) { return text::contains(l, "added "); }))
        << "the install's own lines reach the server log:\n" << text::join(lines, "\n");
    ASSERT_TRUE(runLoopUntil([&] { return (*vm->currentURL) && (*vm->currentURL)->string() != "http://localhost:5173" &&
                                          text::contains((*vm->currentURL)->string(), "localhost:"); }, 60s));
    EXPECT_TRUE(pageShows("h1", "Fresh bread, every morning"));
}
