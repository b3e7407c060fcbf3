#include "GuiFixture.h"
#include "process/ProcessGroupGuard.h"

#include <cstdlib>
#include <gdk/x11/gdkx.h>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class Shortcuts : public GuiFixture {
protected:
    // Real key presses through the X server, to the window, which is given the input focus first
    // (there is no window manager to give it).
    bool keys(const std::string& sequence) {
        GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window->gobj()));
        if (!std::getenv("DISPLAY") || !fs::exists("/usr/bin/xdotool") || !GDK_IS_X11_SURFACE(surface)) return false;
        std::string command = "/usr/bin/xdotool windowfocus " + std::to_string(gdk_x11_surface_get_xid(surface)) +
                              " sleep 0.1 " + sequence;
        bool ok = std::system(command.c_str()) == 0;
        flush();
        return ok;
    }
};

}  // namespace

TEST_F(Shortcuts, EveryShortcutIsAnAction) {
    launch();
    for (const auto& entry : TarnApp::accelerators()) {
        const std::string action = entry.first, accelerator = entry.second;
        auto same = [](const std::string& a, const std::string& b) {
            guint keyA = 0, keyB = 0;
            GdkModifierType modsA{}, modsB{};
            gtk_accelerator_parse(a.c_str(), &keyA, &modsA);
            gtk_accelerator_parse(b.c_str(), &keyB, &modsB);
            return keyA == keyB && modsA == modsB;
        };
        auto accels = app->get_accels_for_action(action);
        EXPECT_TRUE(std::any_of(accels.begin(), accels.end(), [&](const Glib::ustring& a) { return same(a, accelerator); }))
            << action;
        std::string name = std::string(action).substr(4);
        bool exists = text::startsWith(action, "app.") ? bool(app->lookup_action(name)) : bool(window->lookup_action(name));
        EXPECT_TRUE(exists) << action;
    }
    activate("win.show-help-overlay");
    Gtk::Window& shortcuts = window->shortcutsWindow();
    EXPECT_TRUE(runLoopUntil([&] { return shortcuts.get_mapped(); }, 10s));
    EXPECT_EQ(shortcuts.get_transient_for(), window);
    shortcuts.close();
}

TEST_F(Shortcuts, TheKeyboardDrivesTheWindow) {
    launch();
    if (!keys("key ctrl+shift+c")) GTEST_SKIP() << "xdotool is needed for real key presses";
    ASSERT_TRUE(runLoopUntil([&] { return *vm->selection().inspectModeEnabled; }, 10s));
    // Ctrl+L, an address, Return: loaded.
    keys("key ctrl+l");
    auto focusedIn = [&](Gtk::Widget& w) {
        Gtk::Widget* focus = window->get_focus();
        return focus && (focus == &w || focus->is_ancestor(w));
    };
    ASSERT_TRUE(runLoopUntil([&] { return focusedIn(window->header().address()); }, 10s));
    keys("type --delay 20 localhost:4455");
    keys("key Return");
    EXPECT_TRUE(runLoopUntil([&] { return *vm->browser().browserAddress == "http://localhost:4455"; }, 10s));
    EXPECT_TRUE(runLoopUntil([&] { return loadsStarted == 1; }, 10s));
    // Ctrl+R: the page again.
    keys("key ctrl+r");
    EXPECT_TRUE(runLoopUntil([&] { return loadsStarted == 2; }, 10s));

    // In the prompt: Ctrl+Return sends.
    activate("win.focus-prompt");
    keys("type --delay 20 hello");
    ASSERT_TRUE(runLoopUntil([&] { return *vm->requests().draftPrompt == "hello"; }, 10s));
    keys("key ctrl+Return");
    EXPECT_TRUE(runLoopUntil([&] { return vm->chat().messages->size() == 2; }, 10s));
    EXPECT_EQ(*vm->requests().draftPrompt, "");

    // Escape closes a dialog.
    vm->selection().showInlineEditor = true;
    flush();
    ASSERT_TRUE(runLoopUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(view().inlineEditDialog().window())); }, 10s));
    GdkSurface* dialog = gtk_native_get_surface(GTK_NATIVE(view().inlineEditDialog().window()));
    ASSERT_EQ(std::system(("/usr/bin/xdotool windowfocus " + std::to_string(gdk_x11_surface_get_xid(dialog)) + " sleep 0.1 key Escape").c_str()), 0);
    EXPECT_TRUE(runLoopUntil([&] { return !*vm->selection().showInlineEditor; }, 10s));
}

TEST_F(Shortcuts, FoldersFromTheCommandLineOpen) {
    writeProject("sleep 300");
    launch();
    writeFile(dir / "notes.txt", "not a folder");
    app->open(Gio::File::create_for_path((dir / "notes.txt").string()));
    flush();
    EXPECT_EQ(systemMessages().back(), "Could not open " + (dir / "notes.txt").string() + ": it is not a folder.");
    app->open(Gio::File::create_for_path((dir / "nowhere").string()));
    flush();
    EXPECT_EQ(systemMessages().back(), "Could not open " + (dir / "nowhere").string() + ": there is no such folder.");
    app->open(Gio::File::create_for_path(project.string()));
    ASSERT_TRUE(runLoopUntil([&] { return vm->server().controller().isRunning(); }));
    EXPECT_EQ(*vm->project().projectPathLabel, project.string());

    // Quitting ends the server: nothing of its group is left.
    int group = vm->server().controller().processGroup();
    app->activate_action("quit");
    EXPECT_TRUE(runLoopUntil([&] { return app->window() == nullptr; }));
    window = nullptr;
    EXPECT_TRUE(runLoopUntil([&] { return !processGroupAlive(group); }, 10s));
}

TEST(Metadata, TheDesktopEntryAndAppStreamDataAreValid) {
    const std::string data = std::string(TARN_FIXTURES_DIR) + "/../../data/";
    if (!fs::exists("/usr/bin/appstreamcli")) GTEST_SKIP() << "appstreamcli is not installed";
    EXPECT_EQ(std::system(("/usr/bin/appstreamcli validate --no-net '" + data + "dev.tarn.Tarn.metainfo.xml' >/dev/null").c_str()), 0);
    if (fs::exists("/usr/bin/desktop-file-validate")) {
        EXPECT_EQ(std::system(("/usr/bin/desktop-file-validate '" + data + "dev.tarn.Tarn.desktop'").c_str()), 0);
    }
}
