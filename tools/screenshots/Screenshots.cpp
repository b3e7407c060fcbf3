// Pictures of the window's main states in light and in dark style, for people to look at: written
// to the build's screenshots/ folder, or the one TARN_SCREENSHOTS names. A tool on the window
// tests' fixture, run by scripts/screenshots.sh, which also copies the README's picture (the
// running project in light style).
#include "GuiFixture.h"

#include <adwaita.h>
#include <gdk/x11/gdkx.h>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

class Screenshots : public GuiFixture, public ::testing::WithParamInterface<const char*> {
protected:
    fs::path folder;
    std::string style() const { return GetParam(); }
    void SetUp() override {
        GuiFixture::SetUp();
        const char* target = std::getenv("TARN_SCREENSHOTS");
        folder = target ? fs::path(target) : fs::path(TARN_SCREENSHOTS_DIR);
        fs::create_directories(folder);
    }
    // What the X server shows of the window: the web view's pixels included.
    void capture(GtkWindow* shown, const std::string& name) {
        flush();
        frames(3);
        GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(shown));
        ASSERT_TRUE(GDK_IS_X11_SURFACE(surface));
        fs::path file = folder / (name + "-" + style() + ".png");
        std::string command = "/usr/bin/import -window " + std::to_string(gdk_x11_surface_get_xid(surface)) + " '" +
                              file.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
};

}  // namespace

TEST_P(Screenshots, TheMainStates) {
    if (!fs::exists("/usr/bin/import")) GTEST_SKIP() << "ImageMagick's import is needed to take screenshots";
    AdwStyleManager* styles = adw_style_manager_get_default();
    adw_style_manager_set_color_scheme(styles, style() == "dark" ? ADW_COLOR_SCHEME_FORCE_DARK : ADW_COLOR_SCHEME_FORCE_LIGHT);
    launch();
    capture(GTK_WINDOW(window->gobj()), "empty-window");

    writeStorefront();
    runTask(vm->loadProject(root()));
    ASSERT_TRUE(previewShowsThePage());
    vm->selection().inspectModeEnabled = true;
    InspectTarget title;
    title.selectionKey = "html > body > main > h1";
    title.isSelected = true;
    title.selector = "h1.hero-title";
    title.tagName = "h1";
    title.textSnippet = "Fresh bread, every morning";
    title.componentGuess = "hero-title";
    title.fileGuess = "src/index.html";
    vm->handleInspectSelection(title);
    capture(GTK_WINDOW(window->gobj()), "project-running");
    vm->setDeviceWidth(DeviceWidth::phone);
    ASSERT_TRUE(runLoopUntil([&] { return gtk_widget_get_width(view().browser().preview().pageWidget()) == 390; }));
    capture(GTK_WINDOW(window->gobj()), "phone-width");
    vm->setDeviceWidth(DeviceWidth::desktop);

    // Codex at work until the picture is taken.
    installAgents({"codex"});
    vm->runtimes().refresh();
    replay("codex.stdout", "{\"type\":\"turn.started\"}\n");
    replay("codex.edit", "while [ ! -f \"$TARN_STANDIN_DIR/go\" ]; do sleep 0.05; done\n"
                         "sed -i 's/color: #5c554d/color: #8a4b14/' src/styles.css && echo '.warm { color: #8a4b14; }' >> src/styles.css\n");
    replay("codex.answer", "Warmed up the title colour.");
    vm->requests().draftPrompt = "Make the title warmer";
    spawn(vm->requests().sendPrompt());
    ASSERT_TRUE(runLoopUntil([&] { return fs::exists(standin / "codex.args"); }));
    vm->thinking().push("Working on command rg \"Fresh bread\" src.");
    ASSERT_TRUE(runLoopUntil([&] {
        auto rows = view().agent().transcript().rows();
        return rows.back()->shownText() == "Working on command rg \"Fresh bread\" src.";
    }));
    frames(20);  // the line has faded in
    capture(GTK_WINDOW(window->gobj()), "thinking-message");
    writeFile(standin / "go", "");
    ASSERT_TRUE(settledRequest());
    frames(20);  // the reply's lines and steps have been laid out and followed
    capture(GTK_WINDOW(window->gobj()), "agent-reply");

    vm->server().handleOutputLine("[vite] Internal server error: Failed to resolve import \"./Basket\" from \"src/index.html\".");
    capture(GTK_WINDOW(window->gobj()), "console-error");

    runTask(vm->history().showReview(vm->chat().messages->back().id));
    capture(GTK_WINDOW(view().reviewDialog().gobj()), "review-changes");
    vm->history().closeReview();

    vm->browser().toggleExpanded();
    ASSERT_TRUE(runLoopUntil([&] { return !view().browser().headerRevealer().get_child_revealed(); }));
    capture(GTK_WINDOW(window->gobj()), "browser-expanded");
    vm->browser().toggleExpanded();

    view().showVersionManager = true;
    ASSERT_TRUE(runLoopUntil([&] { return !vm->versions().versions->empty(); }));
    capture(GTK_WINDOW(view().versionsWindow().gobj()), "versions");
    view().versionsWindow().showPage(VersionsWindow::Page::history);
    ASSERT_TRUE(runLoopUntil([&] { return view().versionsWindow().history().get_row_at_index(1) != nullptr; }));
    capture(GTK_WINDOW(view().versionsWindow().gobj()), "history");
    view().versionsWindow().showPage(VersionsWindow::Page::versions);
    view().showVersionManager = false;

    vm->selection().inlineTextDraft = title.textSnippet;
    vm->selection().showInlineEditor = true;
    capture(view().inlineEditDialog().window(), "inline-edit");
    vm->selection().showInlineEditor = false;
    // A text the page shows twice: the editor says so.
    InspectTarget twice = title;
    twice.selectionKey = "html > body > main > ul > li:nth-child(1)";
    twice.textSnippet = "Sourdough";
    twice.sameTextCount = 2;
    twice.metaClick = true;
    vm->handleInspectSelection(twice);
    capture(view().inlineEditDialog().window(), "inline-edit-repeated");
    vm->selection().showInlineEditor = false;

    vm->requests().openChangeDescription();
    vm->requests().changeDescriptionDraft = "Use a serif font for the title and make the button green.";
    capture(view().changeDescriptionDialog().window(), "change-description");
    vm->requests().showChangeDescription = false;

    view().preferences().present();
    capture(view().preferences().window(), "preferences");
    gtk_window_close(view().preferences().window());

    adw_style_manager_set_color_scheme(styles, ADW_COLOR_SCHEME_DEFAULT);
}

INSTANTIATE_TEST_SUITE_P(Styles, Screenshots, ::testing::Values("light", "dark"),
                         [](const auto& info) { return std::string(info.param); });
