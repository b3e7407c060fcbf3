#include "TestSupport.h"
#include "agents/AgentService.h"
#include "agents/AgentTexts.h"
#include "agents/ProjectFiles.h"
#include "agents/rendered/ProjectSearch.h"
#include "support/PlatformError.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

class LocalAgent : public ::testing::Test {
protected:
    TempDir dir{"tarn local ü-"};
    fs::path project = dir / "shop app";
    AgentService agent;

    void SetUp() override { fs::create_directories(project); }
    Url root() const { return Url::forFile(project.string()); }

    LocalAgentResult prompt(const std::string& text, std::optional<InspectTarget> target = std::nullopt,
                            bool planMode = false) {
        return runTask(agent.handlePrompt(text, target, planMode, root()));
    }
    std::string failure(const std::string& text, std::optional<InspectTarget> target = std::nullopt) {
        try {
            prompt(text, target);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no error";
    }
    static InspectTarget selected(const std::string& snippet, const std::string& fileGuess = "") {
        InspectTarget t;
        t.selectionKey = "main>h1:0";
        t.isSelected = true;
        t.tagName = "h1";
        t.textSnippet = snippet;
        t.fileGuess = fileGuess;
        return t;
    }
    std::vector<std::string> listed() {
        std::vector<std::string> out;
        for (auto& p : projectfiles::sourceFiles(project)) out.push_back(projectfiles::relativePath(p, project));
        return out;
    }
};

}  // namespace

TEST_F(LocalAgent, PathsHoldWhicheverWayTheFolderWasGiven) {
    writeFile(project / "src" / "a.tsx", "Old words");
    auto viaSlash = runTask(agent.handlePrompt("replace \"Old\" with \"New\"", std::nullopt, false,
                                               Url::forFile(project.string() + "/")));
    EXPECT_EQ(viaSlash.changedFiles, std::vector<std::string>{"src/a.tsx"});
    EXPECT_EQ(projectfiles::relativePath(project / "src" / "a.tsx", project.string() + "/"), "src/a.tsx");
    EXPECT_EQ(projectfiles::relativePath("/elsewhere/a.tsx", project), "/elsewhere/a.tsx");
}

TEST_F(LocalAgent, PlanModeTouchesNothing) {
    writeFile(project / "app" / "page.tsx", "Get started");
    auto result = prompt("replace \"Get started\" with \"Go\"", std::nullopt, true);
    EXPECT_EQ(result.message, "Plan created. Switch off Plan Mode to apply changes.");
    EXPECT_TRUE(result.changedFiles.empty());
    // A plan of what it would do, none of it done.
    ASSERT_EQ(result.plan.size(), 4u);
    EXPECT_TRUE(std::none_of(result.plan.begin(), result.plan.end(), [](const AgentPlanStep& s) { return s.completed; }));
    EXPECT_EQ(readFile(project / "app" / "page.tsx"), "Get started");
    EXPECT_FALSE(fs::exists(project / ".tarn"));
}

TEST_F(LocalAgent, ReplaceInstructionEditsFirstMatchOnly) {
    writeFile(project / "app" / "a.tsx", "<b>Get started</b> Get started");
    writeFile(project / "app" / "b.tsx", "Get started");
    auto result = prompt("Please REPLACE \"Get started\" with \"Start now\" and replace \"x\" with \"y\"");
    EXPECT_EQ(result.message, "Applied 1 file change(s).");
    EXPECT_EQ(result.changedFiles, std::vector<std::string>{"app/a.tsx"});
    EXPECT_EQ(readFile(project / "app" / "a.tsx"), "<b>Start now</b> Get started");
    EXPECT_EQ(readFile(project / "app" / "b.tsx"), "Get started");

    // Text found nowhere fails, even after the onboarding scaffold was written.
    fs::create_directories(project / "app");
    EXPECT_EQ(failure("onboarding please, and replace \"Nowhere\" with \"x\""),
              "Could not find matching text in source files.");
    EXPECT_TRUE(fs::exists(project / "components" / "TarnOnboardingWizard.tsx"));
}

TEST_F(LocalAgent, SelectedTextTransforms) {
    writeFile(project / "src" / "a.tsx", "<button>Sign up</button>");
    writeFile(project / "src" / "hinted.tsx", "<button>Sign up</button>");
    auto result = prompt("make it uppercase", selected("Sign up", "src/hinted.tsx"));
    EXPECT_EQ(result.changedFiles, std::vector<std::string>{"src/hinted.tsx"});
    EXPECT_EQ(readFile(project / "src" / "hinted.tsx"), "<button>SIGN UP</button>");
    EXPECT_EQ(readFile(project / "src" / "a.tsx"), "<button>Sign up</button>");

    // A hint that exists but lacks the text: the walk finds it.
    result = prompt("Title Case please", selected("Sign up", "src/hinted.tsx"));
    EXPECT_EQ(result.changedFiles, std::vector<std::string>{"src/a.tsx"});

    EXPECT_EQ(*AgentService::transformSnippet("one two three four five six seven eight", "shorter"),
              "one two three four five six");
    EXPECT_FALSE(AgentService::transformSnippet("one two three four five six", "make it shorter"));
    EXPECT_EQ(*AgentService::transformSnippet("hello WORLD", "lowercase it"), "hello world");
    EXPECT_EQ(*AgentService::transformSnippet("hello wORLD", "title case"), "Hello World");

    // Already upper case: nothing to change, so the intent is recorded.
    writeFile(project / "src" / "c.tsx", "DONE");
    result = prompt("make it uppercase", selected("DONE"));
    EXPECT_EQ(result.changedFiles, std::vector<std::string>{".tarn/last-agent-intent.md"});
}

TEST_F(LocalAgent, UnmatchedRequestsAreRecorded) {
    auto result = prompt("Add a dark mode toggle");
    EXPECT_EQ(result.message, "Applied 1 file change(s).");
    EXPECT_EQ(result.changedFiles, std::vector<std::string>{".tarn/last-agent-intent.md"});
    std::string record = readFile(project / ".tarn" / "last-agent-intent.md");
    EXPECT_TRUE(record.starts_with("# Agent Intent\n\n"));
    EXPECT_TRUE(record.ends_with("\n\nAdd a dark mode toggle"));
    EXPECT_GT(record.size(), std::string("# Agent Intent\n\n\n\nAdd a dark mode toggle").size() + 8);

    fs::remove_all(project / ".tarn");
    writeFile(project / ".tarn", "a file in the way");
    EXPECT_THROW(prompt("anything"), PlatformError);
}

TEST_F(LocalAgent, OnboardingScaffold) {
    const std::string& wizard = agenttexts::get("TarnOnboardingWizard.tsx");
    fs::create_directories(project / "app");
    auto result = prompt("Build an Onboarding flow");
    EXPECT_EQ(result.message, "Applied 2 file change(s).");
    EXPECT_EQ(result.changedFiles,
              (std::vector<std::string>{"app/onboarding/page.tsx", "components/TarnOnboardingWizard.tsx"}));
    std::string page = readFile(project / "app" / "onboarding" / "page.tsx");
    EXPECT_TRUE(page.starts_with("import TarnOnboardingWizard from \"../../components/TarnOnboardingWizard\";\n\n"));
    EXPECT_EQ(readFile(project / "components" / "TarnOnboardingWizard.tsx"), wizard);

    writeFile(project / "components" / "TarnOnboardingWizard.tsx", "// mine");
    result = prompt("onboarding again");
    EXPECT_EQ(result.changedFiles, std::vector<std::string>{"app/onboarding/page.tsx"});
    EXPECT_EQ(readFile(project / "components" / "TarnOnboardingWizard.tsx"), "// mine");

    fs::remove_all(project / "app");
    result = prompt("onboarding");
    EXPECT_EQ(result.changedFiles, std::vector<std::string>{"pages/onboarding.tsx"});
    EXPECT_TRUE(readFile(project / "pages" / "onboarding.tsx").starts_with("import TarnOnboardingWizard from \"../components/"));
}

TEST_F(LocalAgent, WalkSkipsWhatItShouldAndNeverLoops) {
    writeFile(project / "src" / "b.tsx", "x");
    writeFile(project / "src" / "a.TSX", "x");
    writeFile(project / "src" / "deep" / "c.css", "x");
    writeFile(project / "README.md", "x");
    writeFile(project / "notes.txt", "x");
    for (const char* hidden : {"node_modules/pkg/index.js", "dist/out.js", "build/out.js", ".git/x.js", ".next/y.js",
                               "src/.cache/z.js"}) {
        writeFile(project / hidden, "x");
    }
    fs::create_directory_symlink("..", project / "src" / "loop");
    fs::create_directory_symlink(dir.path(), project / "outside");
    EXPECT_EQ(listed(), (std::vector<std::string>{"README.md", "src/a.TSX", "src/b.tsx", "src/deep/c.css"}));

    // Only folders inside the project count: one that lives under build/ or node_modules/ lists its files,
    // and the local agent edits them.
    for (const char* outer : {"build/example", "dist/site", "node_modules/demo"}) {
        fs::path inside = dir / outer / "app";
        writeFile(inside / "src" / "index.tsx", "<h1>Fresh bread</h1>");
        writeFile(inside / "build" / "index.js", "x");
        EXPECT_EQ(projectfiles::sourceFiles(inside), std::vector<fs::path>{inside / "src" / "index.tsx"}) << outer;
        auto changed = runTask(agent.handlePrompt("replace \"Fresh bread\" with \"Warm bread\"", std::nullopt, false,
                                                  Url::forFile(inside.string())));
        EXPECT_EQ(changed.changedFiles, std::vector<std::string>{"src/index.tsx"}) << outer;
        EXPECT_EQ(readFile(inside / "src" / "index.tsx"), "<h1>Warm bread</h1>");
    }
}

TEST_F(LocalAgent, HintsBypassTheWalkButNeverLeaveTheProject) {
    writeFile(project / "src" / "Widget.vue", "<template><p>Hello there</p></template>");
    writeFile(project / "node_modules" / "lib" / "x.js", "export const x = <p>Hello there</p>;");
    writeFile(dir / "elsewhere.tsx", "<p>Hello there</p>");
    fs::create_symlink(dir / "elsewhere.tsx", project / "link-out.tsx");

    auto result = prompt("uppercase", selected("Hello there", (project / "src" / "Widget.vue").string()));
    EXPECT_EQ(result.changedFiles, std::vector<std::string>{"src/Widget.vue"});

    result = runTask(agent.applyInlineEdit(selected("Hello there", "node_modules/lib/x.js"), "Hi", root()));
    EXPECT_EQ(result.message, "Updated text in node_modules/lib/x.js.");
    EXPECT_TRUE(result.plan.empty());
    EXPECT_EQ(readFile(project / "node_modules" / "lib" / "x.js"), "export const x = <p>Hi</p>;");

    // Outside the project, directly or through a link: ignored, and nothing else holds the text.
    for (std::string hint : {(dir / "elsewhere.tsx").string(), std::string("../elsewhere.tsx"), std::string("link-out.tsx")}) {
        try {
            runTask(agent.applyInlineEdit(selected("Hello there", hint), "Pwned", root()));
            ADD_FAILURE() << hint;
        } catch (const AgentServiceError& e) {
            EXPECT_EQ(e.kind(), AgentServiceError::Kind::targetTextNotFound);
        }
    }
    EXPECT_EQ(readFile(dir / "elsewhere.tsx"), "<p>Hello there</p>");
    EXPECT_THROW(runTask(agent.applyInlineEdit(selected("  "), "x", root())), AgentServiceError);
}

TEST_F(LocalAgent, SkipsUnreadableFilesAndWritesSafely) {
    writeFile(project / "a.js", std::string("\xFF\xFE binary Sign up \x00", 19));
    writeFile(project / "b.js", std::string(projectfiles::largestReadFile + 1, 'x') + "Sign up");
    writeFile(project / "real" / "c.tsx", "<a>Sign up</a>");
    chmod((project / "real" / "c.tsx").c_str(), 0640);
    fs::create_symlink("real/c.tsx", project / "c-link.tsx");
    auto result = runTask(agent.applyInlineEdit(selected("Sign up", "c-link.tsx"), "Join", root()));
    EXPECT_EQ(result.changedFiles, std::vector<std::string>{"c-link.tsx"});
    EXPECT_TRUE(fs::is_symlink(project / "c-link.tsx"));
    EXPECT_EQ(readFile(project / "real" / "c.tsx"), "<a>Join</a>");
    struct stat st {};
    stat((project / "real" / "c.tsx").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A write that fails (a file size limit stands in for a full disk) leaves the file as it was.
    writeFile(project / "real" / "c.tsx", "Sign up");
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tiny = old;
    tiny.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &tiny);
    EXPECT_THROW(AgentService::replaceText("Sign up", std::string(1000, 'y'), "", project), PlatformError);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(readFile(project / "real" / "c.tsx"), "Sign up");
    for (auto& entry : fs::directory_iterator(project / "real")) {
        EXPECT_EQ(entry.path().filename(), "c.tsx");
    }
}
