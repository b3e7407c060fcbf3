// A new user's first minutes: the README's own example as run.sh puts it, a Next.js starter, and
// a server that says where it is before it listens.
#include "EndToEndFixture.h"

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

bool registryReachable() { return std::system("PATH=/usr/bin:/bin timeout 30 npm ping >/dev/null 2>&1") == 0; }

class FirstRun : public EndToEnd {
protected:
    // Every notice the preview showed, in order.
    std::vector<PreviewNotice> notices;
    sigc::connection noting;

    void watchNotices() {
        noting = vm->browser().previewNotice.observe([this] {
            if (notices.empty() || notices.back() != *vm->browser().previewNotice) notices.push_back(*vm->browser().previewNotice);
        });
    }
    void TearDown() override {
        noting.disconnect();
        EndToEnd::TearDown();
    }
    bool sawNotice(PreviewNotice notice) const { return std::find(notices.begin(), notices.end(), notice) != notices.end(); }
    std::string pageTitle() { return js("document.title"); }
};

}  // namespace

TEST_F(FirstRun, AServerThatSaysWhereBeforeItListensShowsItsPage) {
    writeStorefront();
    std::string manifest = readFile(project / "package.json");
    writeFile(project / "package.json", text::replaceAll(manifest, "--port " + std::to_string(port), "--port " + std::to_string(port) + " --listen-after 3"));
    launch();
    watchNotices();
    app->open(Gio::File::create_for_path(project.string()));
    // The address it named, without a trailing slash, is the one opened: the page still comes, by itself.
    ASSERT_TRUE(previewShowsThePage());
    EXPECT_TRUE(sawNotice(PreviewNotice::waitingForServer));
    EXPECT_FALSE(sawNotice(PreviewNotice::serverNotRunning));
    EXPECT_EQ(*vm->browser().previewNotice, PreviewNotice::none);
    flush();
    EXPECT_FALSE(view().browser().preview().noticeShown());
    EXPECT_EQ(js("document.querySelector('h1').textContent.trim()"), "\"Fresh bread, every morning\"");

    // Stopped, the page stays; a reload that nothing answers says the server is not running.
    activate("win.stop-server");
    ASSERT_TRUE(runLoopUntil([&] { return !portAcceptsConnections(port); }, 20s));
    activate("win.reload-preview");
    ASSERT_TRUE(runLoopUntil([&] { return *vm->browser().previewNotice == PreviewNotice::serverNotRunning; }, 20s));
    flush();
    EXPECT_TRUE(view().browser().preview().noticeShown());
    EXPECT_EQ(view().browser().preview().noticeTitle(), "The dev server is not running");
}

TEST_F(FirstRun, ANextJsStarterShowsItsPageWithoutAReload) {
    if (!registryReachable()) GTEST_SKIP() << "the npm registry cannot be reached, so no Next.js starter can be made";
    // The official starter, as a new user makes it; Tarn installs its dependencies.
    const fs::path parent = dir / "starters";
    fs::create_directories(parent);
    const std::string create = "cd '" + parent.string() + "' && PATH=/usr/bin:/bin timeout 600 npx --yes create-next-app@16 next-app "
                               "--yes --use-npm --skip-install --disable-git >'" + (dir / "create.log").string() + "' 2>&1";
    ASSERT_EQ(std::system(create.c_str()), 0) << readFile(dir / "create.log");
    project = parent / "next-app";
    launch();
    watchNotices();
    app->open(Gio::File::create_for_path(project.string()));
    ASSERT_TRUE(runLoopUntil([&] { return pageTitle() == "\"Create Next App\""; }, 8min)) << text::join(log(), "\n");
    EXPECT_TRUE(sawNotice(PreviewNotice::waitingForServer));
    EXPECT_EQ(*vm->project().stackLabel, "Next.js via npm (Lockfile)");
    EXPECT_EQ(*vm->browser().previewNotice, PreviewNotice::none);
}

TEST_F(FirstRun, TheReadmeExampleRunsAndEditsWhereRunShPutsIt) {
    if (!registryReachable()) GTEST_SKIP() << "the npm registry cannot be reached, so the example's dependencies cannot be installed";
    // Where run.sh puts it: under a folder named build, which must not hide its sources.
    project = dir / "tarn" / "build" / "example" / "bakery";
    const std::string prepare = "PATH=/usr/bin:/bin bash '" + std::string(TARN_FIXTURES_DIR) + "/../../scripts/example.sh' '" +
                                project.string() + "'";
    ASSERT_EQ(std::system(prepare.c_str()), 0);
    launch();
    app->open(Gio::File::create_for_path(project.string()));
    ASSERT_TRUE(pageShows("h1", "Fresh bread, every morning", 5min)) << text::join(log(), "\n");
    EXPECT_EQ(*vm->project().stackLabel, "Vite + React via npm (Lockfile)");
    const auto lines = log();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](auto& l) { return text::contains(l, "added "); }))
        << "the install's own lines reach the server log:\n" << text::join(lines, "\n");

    // The README's request, to the local agent.
    Composer& composer = view().agent().composer();
    composer.editor().get_buffer()->set_text("replace \"Fresh bread\" with \"Warm bread\"");
    click(composer.sendButton());
    ASSERT_TRUE(settledRequest());
    EXPECT_EQ(vm->chat().messages->back().content, "Applied 1 file change(s).") << vm->chat().messages->back().content;
    EXPECT_EQ(*vm->requests().touchedFiles, std::vector<std::string>{"src/App.jsx"});
    EXPECT_TRUE(pageShows("h1", "Warm bread, every morning"));

    // An inline edit: Ctrl-click the paragraph in inspect mode, change its words, Apply.
    if (!fs::exists("/usr/bin/xdotool")) GTEST_SKIP() << "xdotool is needed for the real Ctrl-click";
    activate("win.inspect");
    clickInPage("p.hero-copy", true);
    ASSERT_TRUE(runLoopUntil([&] { return *vm->selection().showInlineEditor; }, 20s));
    flush();
    EditDialog& dialog = view().inlineEditDialog();
    EXPECT_EQ(textOf(dialog.editor()), "Order before nine and pick it up while it is still warm.");
    dialog.editor().get_buffer()->set_text("Order before ten and pick it up while it is still warm.");
    dialog.respond("apply");
    flush();
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->selection().showInlineEditor && !*vm->requests().isSending; }, 20s)) << vm->chat().messages->back().content;
    EXPECT_NE(readFile(project / "src" / "App.jsx").find("Order before ten and pick it up"), std::string::npos);
    EXPECT_TRUE(pageShows("p.hero-copy", "Order before ten and pick it up while it is still warm."));
}
