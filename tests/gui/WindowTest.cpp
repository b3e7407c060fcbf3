#include "GuiFixture.h"
#include "PageScript.h"
#include "app/SelectedTargetPillView.h"
#include "process/EditorLauncher.h"
#include "support/Settings.h"
#include "app/ConsolePane.h"
#include "app/StylePanel.h"
#include "app/MessageRow.h"
#include "process/ProcessGroupGuard.h"

#include <gtkmm/label.h>
#include <gtkmm/spinbutton.h>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class Window : public GuiFixture {};

std::vector<std::string> labelsIn(Gtk::Widget& root) {
    std::vector<std::string> out;
    std::function<void(Gtk::Widget&)> walk = [&](Gtk::Widget& w) {
        if (auto* label = dynamic_cast<Gtk::Label*>(&w); label && label->get_visible()) out.push_back(label->get_text());
        for (auto* child = w.get_first_child(); child; child = child->get_next_sibling()) walk(*child);
    };
    walk(root);
    return out;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

TEST_F(Window, TheServerControlFollowsTheState) {
    launch();
    HeaderBar& bar = window->header();
    const std::pair<ServerRuntimeState, bool> cases[] = {
        {ServerRuntimeState::idle(), false},     {ServerRuntimeState::starting(), true},
        {ServerRuntimeState::running(), true},   {ServerRuntimeState::stopped(), false},
        {ServerRuntimeState::failed("x"), false},
    };
    for (const auto& [state, stop] : cases) {
        vm->server().serverState = state;
        EXPECT_EQ(bar.showingStop(), stop);
        EXPECT_EQ(view().browser().header().serverChip().value(),
                  BrowserHeader::serverText(state));
    }
    EXPECT_EQ(bar.stopButton().get_tooltip_text(), "Stop Server");
    EXPECT_EQ(view().browser().header().serverChip().value(), "Failed");

    // A server started outside Tarn: the header says so, and its control only lets go.
    vm->server().serverState = ServerRuntimeState::external("Started outside Tarn (process 42, npm run dev)");
    EXPECT_TRUE(bar.showingStop());
    EXPECT_EQ(view().browser().header().serverChip().value(), "External");
    EXPECT_EQ(view().browser().header().serverChip().get_tooltip_text(), "Started outside Tarn (process 42, npm run dev)");
    EXPECT_EQ(bar.stopButton().get_tooltip_text(), "Detach from the External Server (it keeps running)");
    vm->server().serverState = ServerRuntimeState::running();
    EXPECT_EQ(bar.stopButton().get_tooltip_text(), "Stop Server");

    // A sandboxed server: hovering its value says so.
    vm->server().sandboxed = true;
    EXPECT_EQ(view().browser().header().serverChip().valueTooltip(),
              "Running · Sandboxed: it cannot read your home folder or write outside the project");
}

TEST_F(Window, ReturnInTheAddressFieldIsGo) {
    launch();
    AddressField& field = window->header().address();
    field.set_text("  localhost:4321 ");
    EXPECT_EQ(*vm->browser().browserAddress, "  localhost:4321 ");
    pressReturn(field);
    EXPECT_EQ(*vm->browser().browserAddress, "http://localhost:4321");
    EXPECT_EQ(std::string(field.get_text()), "http://localhost:4321");
    EXPECT_TRUE(runLoopUntil([&] { return loadsStarted == 1; }));
    click(window->header().goButton());
    EXPECT_TRUE(runLoopUntil([&] { return loadsStarted == 2; }));
}

TEST_F(Window, TheHeaderShowsTheSelection) {
    launch();
    BrowserHeader& header = view().browser().header();
    EXPECT_FALSE(header.selectionBlock().get_visible());
    EXPECT_FALSE(header.changeDescriptionButton().get_visible());

    vm->handleInspectSelection(target("a", "Hello shop"));
    EXPECT_TRUE(header.selectionBlock().get_visible());
    EXPECT_FALSE(header.countBadge().get_visible());
    EXPECT_EQ(std::string(header.selectionSummary().get_text()), "App  src/App.tsx");
    vm->handleInspectSelection(target("b", "Two"));
    InspectTarget bare = target("c", "");
    bare.fileGuess = "";
    vm->handleInspectSelection(bare);
    EXPECT_TRUE(header.countBadge().get_visible());
    EXPECT_EQ(std::string(header.countBadge().get_text()), "+2");
    // An empty snippet: no Inline Edit, but Change Description; no file: "unresolved-file".
    EXPECT_FALSE(header.inlineEditButton().get_visible());
    EXPECT_TRUE(header.changeDescriptionButton().get_visible());
    EXPECT_EQ(std::string(header.selectionSummary().get_text()), "App  unresolved-file");

    vm->selection().removeSelectedTarget("c");
    EXPECT_TRUE(header.inlineEditButton().get_visible());
    click(header.inlineEditButton());
    flush();
    EXPECT_TRUE(*vm->selection().showInlineEditor);
    EXPECT_EQ(*vm->selection().inlineTextDraft, "Two");
    EditDialog& dialog = view().inlineEditDialog();
    EXPECT_TRUE(dialog.visible());
    EXPECT_EQ(textOf(dialog.editor()), "Two");
    // A dialog of the main window: modal, and transient for it.
    EXPECT_EQ(gtk_window_get_transient_for(dialog.window()), GTK_WINDOW(window->gobj()));
    EXPECT_TRUE(gtk_window_get_modal(dialog.window()));
    dialog.respond("cancel");
    flush();
    EXPECT_FALSE(*vm->selection().showInlineEditor);
    EXPECT_FALSE(dialog.visible());
}

TEST_F(Window, TheConsoleListsPageLinesThenServerLines) {
    launch();
    for (const char* level : {"log", "Error", "warn"}) vm->browser().appendConsoleEntry(BrowserConsoleEntry{Uuid(), level, "c"});
    for (int i = 0; i < 5; ++i) vm->server().handleOutputLine("s" + std::to_string(i));
    flush();
    ConsolePane& console = view().browser().console();
    EXPECT_EQ(console.countText(), "8 lines");
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"[LOG] c", "[ERROR] c", "[WARN] c", "[SERVER] s0", "[SERVER] s1",
                                                         "[SERVER] s2", "[SERVER] s3", "[SERVER] s4"}));
    // A page line that arrives later goes before the server's.
    vm->browser().appendConsoleEntry(BrowserConsoleEntry{Uuid(), "info", "later"});
    flush();
    EXPECT_EQ(console.lines()[3], "[INFO] later");
    EXPECT_STREQ(ConsolePane::styleOf("[ERROR] c"), "tarn-log-error");
    EXPECT_STREQ(ConsolePane::styleOf("[WARN] c"), "tarn-log-warn");
    EXPECT_STREQ(ConsolePane::styleOf("[INFO] later"), "tarn-log-other");

    // Thousands of lines in one go: the list keeps the last 500 of them, rows added and dropped.
    for (int i = 0; i < 3000; ++i) vm->server().handleOutputLine("burst " + std::to_string(i));
    flush();
    auto lines = console.lines();
    EXPECT_EQ(lines.size(), 4u + 500u);
    EXPECT_EQ(lines.back(), "[SERVER] burst 2999");
    EXPECT_EQ(lines[4], "[SERVER] burst 2500");
    // Opening a project empties the log: the list follows.
    vm->server().serverLogLines.modify([](auto& log) { log.clear(); });
    flush();
    EXPECT_EQ(console.lines().size(), 4u);
    EXPECT_EQ(console.countText(), "4 lines");
}

TEST_F(Window, ExpandingHidesTheEdgesAndCollapsingBringsThemBack) {
    launch();
    vm->server().handleOutputLine("kept");
    vm->chat().appendSystemMessage("still here");
    flush();
    activate("win.expanded");
    EXPECT_TRUE(*vm->browser().isBrowserExpanded);
    EXPECT_TRUE(window->header().compact());
    EXPECT_FALSE(view().agentShown());
    EXPECT_FALSE(view().browser().headerRevealer().get_reveal_child());
    EXPECT_FALSE(view().browser().consoleRevealer().get_reveal_child());
    // The slides end with everything out of the way.
    EXPECT_TRUE(runLoopUntil([&] { return !view().browser().headerRevealer().get_child_revealed(); }, 10s));

    activate("win.expanded");
    EXPECT_FALSE(window->header().compact());
    EXPECT_TRUE(view().agentShown());
    EXPECT_TRUE(runLoopUntil([&] { return view().browser().consoleRevealer().get_child_revealed(); }, 10s));
    EXPECT_EQ(view().browser().console().lines().back(), "[SERVER] kept");
    auto rows = view().agent().transcript().rows();
    EXPECT_EQ(rows.back()->shownText(), "still here");
}

TEST_F(Window, TheVersionsDialogRefreshesOnEveryOpening) {
    writeProject("sleep 300");
    make();
    launch();
    // No project yet: nothing to list.
    activate("win.show-versions");
    VersionsWindow& dialog = view().versionsWindow();
    EXPECT_TRUE(dialog.get_visible());
    EXPECT_EQ(dialog.get_transient_for(), window);
    EXPECT_TRUE(dialog.get_modal());
    EXPECT_TRUE(contains(labelsIn(dialog.list()), "No versions found."));
    dialog.close();
    flush();
    EXPECT_FALSE(*view().showVersionManager);
    EXPECT_FALSE(dialog.get_visible());

    runTask(vm->loadProject(root()));
    vm->server().stop();
    shell("git branch feature/cart");
    int lists = 0;
    auto counting = vm->versions().versions.observe([&] { ++lists; });
    activate("win.show-versions");
    ASSERT_TRUE(runLoopUntil([&] { return lists >= 1 && vm->versions().versions->size() == 2; }));
    flush();
    auto labels = labelsIn(dialog.list());
    EXPECT_TRUE(contains(labels, "main"));
    EXPECT_TRUE(contains(labels, "Current"));
    EXPECT_TRUE(contains(labels, "Checked Out"));
    EXPECT_TRUE(contains(labels, "Checkout"));
    shell("git branch feature/search");
    dialog.close();
    flush();
    activate("win.show-versions");
    ASSERT_TRUE(runLoopUntil([&] { return vm->versions().versions->size() == 3; }));
    EXPECT_GE(lists, 2);

    // Create: the typed name goes through the controller, which refuses bad names.
    dialog.nameField().set_text("bad name");
    click(dialog.createButton());
    ASSERT_TRUE(runLoopUntil([&] { return text::startsWith(systemMessages().back(), "Could not create Version: "); }));
    dialog.nameField().set_text("good-name");
    click(dialog.createButton());
    ASSERT_TRUE(runLoopUntil([&] { return vm->versions().versions->size() == 4; }));
    flush();
    EXPECT_EQ(std::string(dialog.nameField().get_text()), "");
    counting.disconnect();
}

TEST_F(Window, TheWebEngineArrivesAfterTheFirstFrameAndLoadsWhatWasAskedBefore) {
    writeStorefront();
    make();
    // Opened before the window is made, as a folder on the command line is.
    runTask(vm->loadProject(root()));
    launch(false);
    EXPECT_TRUE(runLoopUntil([&] {
        return std::any_of(vm->browser().consoleEntries->begin(), vm->browser().consoleEntries->end(),
                           [](const BrowserConsoleEntry& e) { return e.message == "storefront ready"; });
    }, 60s));
    EXPECT_TRUE(view().browser().preview().engineIn());
    EXPECT_FALSE(view().browser().preview().noticeShown());
}

TEST_F(Window, ClosingEndsTheServerWithoutWaitingForIt) {
    // A server that ignores the polite request: the window still goes at once.
    writeProject("sh -c \"trap '' TERM; echo stubborn; sleep 300\"");
    make();
    launch();
    runTask(vm->loadProject(root()));
    ASSERT_TRUE(runLoopUntil([&] { return logged("stubborn"); }));
    int group = vm->server().controller().processGroup();
    ASSERT_TRUE(processGroupAlive(group));
    window->close();
    window = nullptr;
    EXPECT_EQ(app->window(), nullptr);
    EXPECT_TRUE(runLoopUntil([&] { return !processGroupAlive(group); }, 10s));
}

TEST_F(Window, ThePageIsLaidOutAtADevicesWidthKeptPerProject) {
    writeStorefront();
    launch();
    runTask(vm->loadProject(root()));
    ASSERT_TRUE(previewShowsThePage());
    WebKitWebView* web = webView();
    const int full = gtk_widget_get_width(GTK_WIDGET(web));
    EXPECT_GT(full, 768);

    activate("win.device-width", Glib::Variant<Glib::ustring>::create("phone"));
    EXPECT_EQ(*vm->browser().deviceWidth, DeviceWidth::phone);
    ASSERT_TRUE(runLoopUntil([&] { return gtk_widget_get_width(GTK_WIDGET(web)) == 390; }));
    // Centred in the pane, and the page itself is that wide.
    graphene_point_t origin{0, 0}, at{};
    ASSERT_TRUE(gtk_widget_compute_point(GTK_WIDGET(web), GTK_WIDGET(view().browser().preview().gobj()), &origin, &at));
    EXPECT_NEAR(at.x * 2 + 390, view().browser().preview().get_width(), 2);
    ASSERT_TRUE(runLoopUntil([&] { return evaluateInPage(web, "window.innerWidth") == "390"; }));
    EXPECT_EQ(view().browser().header().deviceButton().get_tooltip_text(), "Page width: Phone (390 px)");

    // The project keeps its width: opened again, it comes back.
    activate("win.device-width", Glib::Variant<Glib::ustring>::create("tablet"));
    vm->browser().deviceWidth = DeviceWidth::desktop;
    runTask(vm->loadProject(root()));
    EXPECT_EQ(*vm->browser().deviceWidth, DeviceWidth::tablet);
    ASSERT_TRUE(runLoopUntil([&] { return gtk_widget_get_width(GTK_WIDGET(web)) == 768; }));
}

TEST_F(Window, TheSelectedElementOpensInTheUsersEditorAtItsLine) {
    writeProject("sleep 300");
    writeScript(dir / "editor", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + (dir / "editor-args").string() + "\"\n");
    launch();
    runTask(vm->loadProject(root()));
    vm->server().stop();

    // The editor command, set in the preferences and kept.
    PreferencesWindow& preferences = view().preferences();
    activate("win.preferences");
    ASSERT_TRUE(runLoopUntil([&] { return gtk_widget_get_visible(GTK_WIDGET(preferences.window())); }));
    EXPECT_EQ(gtk_window_get_transient_for(preferences.window()), GTK_WINDOW(window->gobj()));
    gtk_editable_set_text(GTK_EDITABLE(preferences.editorRow()), ("'" + (dir / "editor").string() + "' --line {line} {file}").c_str());
    g_signal_emit_by_name(preferences.editorRow(), "apply");
    gtk_window_close(preferences.window());
    ASSERT_TRUE(runLoopUntil([&] { return settings::get(editor::settingsGroup, editor::commandKey).has_value(); }));

    // An element located by its text; the pill and the selection block offer its file.
    InspectTarget heading = target("h1", "Hello shop");
    heading.fileGuess = "";
    vm->handleInspectSelection(heading);
    ASSERT_TRUE(runLoopUntil([&] { return (*vm->selection().selectedInspectTarget)->location() == "src/App.tsx:2"; }));
    flush();
    EXPECT_TRUE(view().browser().header().openSourceButton().get_visible());
    EXPECT_EQ(view().browser().header().summaryOf(**vm->selection().selectedInspectTarget), "App  src/App.tsx:2");
    auto* pill = static_cast<SelectedTargetPillView*>(view().agent().composer().pills().get_first_child());
    ASSERT_NE(pill, nullptr);
    EXPECT_EQ(pill->subtitleOf(pill->target()), "src/App.tsx:2");
    click(pill->openButton());
    ASSERT_TRUE(runLoopUntil([&] { return std::filesystem::exists(dir / "editor-args"); }));
    ASSERT_TRUE(runLoopUntil([&] { return text::contains(readFile(dir / "editor-args"), "App.tsx\n"); }));
    EXPECT_EQ(readFile(dir / "editor-args"), "--line\n2\n" + (project / "src" / "App.tsx").string() + "\n");
}


TEST_F(Window, AnErrorIsOfferedToTheAgentOnceAndNothingIsSent) {
    writeProject("sleep 300");
    launch();
    runTask(vm->loadProject(root()));
    vm->server().stop();
    const std::size_t messages = vm->chat().messages->size();
    BrowserConsoleEntry thrown;
    thrown.level = "error";
    thrown.message = "Uncaught TypeError: items is undefined\n    at App (http://localhost:5173/src/App.tsx?t=17:2:10)";
    vm->browser().appendConsoleEntry(thrown);
    const std::string build = "[vite] Internal server error: Failed to resolve import \"./Missing\" from \"src/App.tsx\".";
    vm->server().handleOutputLine(build);
    vm->server().handleOutputLine("hmr update /src/App.tsx");
    vm->server().handleOutputLine(build);
    flush();

    ConsolePane& console = view().browser().console();
    const auto lines = console.lines();
    std::vector<std::string> offered;
    for (guint i = 0; i < lines.size(); ++i) {
        if (console.offersFix(i)) offered.push_back(lines[i]);
    }
    // The page's error and the server's first report of the same failure; not its repeat.
    EXPECT_EQ(offered, (std::vector<std::string>{thrown.line(), "[SERVER] " + build}));

    Gtk::Button* fix = buttonLabelled(console, "Ask Agent to Fix");
    ASSERT_NE(fix, nullptr);
    click(*fix);
    EXPECT_EQ(*vm->requests().draftPrompt, "Fix this error the app shows on the route /:\n\nUncaught TypeError: items is undefined\n"
                                "    at App (http://localhost:5173/src/App.tsx?t=17:2:10)\n\nIt points at src/App.tsx:2:10.\n");
    EXPECT_TRUE(view().agent().composer().editor().has_focus());
    EXPECT_EQ(vm->chat().messages->size(), messages);
    EXPECT_FALSE(*vm->requests().isSending);
}

TEST_F(Window, TheStylePanelWritesOnlyWhatWasChanged) {
    writeProject("sleep 300", true, R"({"tailwindcss": "4"})");
    make();
    launch();
    runTask(vm->loadProject(root()));
    vm->server().stop();
    writeFile(project / "src" / "App.tsx", "export default function App() {\n  return <h1 className=\"text-2xl\">Hello shop</h1>;\n}\n");
    InspectTarget heading = target("a", "Hello shop");
    heading.line = 2;
    heading.column = 35;
    heading.locatedBy = LocatedBy::text;
    // An oklch() colour the controls cannot show: left as it is unless the user picks another.
    heading.computedStyle = {{"font-size", "24px"}, {"font-weight", "400"}, {"color", "oklch(0.4 0.1 50)"}, {"text-align", "start"}};
    BrowserHeader& header = view().browser().header();
    vm->handleInspectSelection(heading);
    ASSERT_TRUE(header.styleButton().get_visible());

    activate("win.edit-style");
    flush();
    auto* panel = dynamic_cast<StylePanel*>(header.styleButton().get_popover());
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->changes().empty());
    // The first number is the font size.
    std::function<Gtk::SpinButton*(Gtk::Widget&)> spin = [&](Gtk::Widget& w) -> Gtk::SpinButton* {
        if (auto* s = dynamic_cast<Gtk::SpinButton*>(&w)) return s;
        for (auto* child = w.get_first_child(); child; child = child->get_next_sibling()) {
            if (auto* found = spin(*child)) return found;
        }
        return nullptr;
    };
    Gtk::SpinButton* size = spin(*panel);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->get_value(), 24);
    size->set_value(30);
    ASSERT_EQ(panel->changes().size(), 1u);
    EXPECT_EQ(panel->changes()[0].change.value, "30px");
    // Padding's sides unlinked: the left one alone.
    std::vector<Gtk::Widget*> all;
    std::function<void(Gtk::Widget&)> collect = [&](Gtk::Widget& w) {
        all.push_back(&w);
        for (auto* child = w.get_first_child(); child; child = child->get_next_sibling()) collect(*child);
    };
    collect(*panel);
    std::vector<Gtk::SpinButton*> spins;
    Gtk::ToggleButton* link = nullptr;
    for (auto* w : all) {
        if (auto* s = dynamic_cast<Gtk::SpinButton*>(w)) spins.push_back(s);
        if (auto* t = dynamic_cast<Gtk::ToggleButton*>(w); t && !link && t->get_icon_name() == "insert-link-symbolic") link = t;
    }
    ASSERT_NE(link, nullptr);
    ASSERT_GE(spins.size(), 6u);  // font size, padding, its four sides
    EXPECT_FALSE(spins[5]->get_visible());
    link->set_active(false);
    EXPECT_TRUE(spins[5]->get_visible());
    EXPECT_FALSE(spins[1]->get_visible());
    spins[5]->set_value(12);
    ASSERT_EQ(panel->changes().size(), 2u);
    EXPECT_EQ(panel->changes()[1].change.sides, unsigned(style::left));
    panel->apply();
    ASSERT_TRUE(runLoopUntil([&] { return text::startsWith(vm->chat().messages->back().content, "Style: "); }));
    EXPECT_TRUE(text::startsWith(vm->chat().messages->back().content, "Style: font size 24px → 30px on App, src/App.tsx:2\nStyle: padding (left)"))
        << vm->chat().messages->back().content;
    EXPECT_NE(readFile(project / "src" / "App.tsx").find("className=\"text-3xl pl-3\""), std::string::npos) << readFile(project / "src" / "App.tsx");
}
