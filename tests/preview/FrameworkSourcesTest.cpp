// What real development builds of Vue and Svelte tell about their elements, through the bridge:
// an official starter of each is made with the npm registry (skipped with a reason without it),
// its dev server started, its page clicked in inspect mode.
#include "PreviewHarness.h"
#include "process/DevServerController.h"
#include "process/ServerOutput.h"
#include "support/Text.h"

#include <cstdlib>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

class FrameworkSources : public PreviewHarness, public ::testing::WithParamInterface<const char*> {
protected:
    TempDir dir{"tarn frameworks-"};

    static bool registryReachable() { return std::system("PATH=/usr/bin:/bin timeout 30 npm ping >/dev/null 2>&1") == 0; }

    // The page's first heading as a click reports it.
    InspectTarget clickHeading(const fs::path& project) {
        DevServerController server;
        std::optional<Url> address;
        server.onOutputLine = [&](const std::string& line) {
            if (auto url = serverOutput::localAddress(text::stripTerminalEscapes(line)); url && !address) address = url;
        };
        ProjectContext context{Url::forFile(project.string()), SupportedStack::unknown, PackageManager::npm, "npm install",
                               "npm run dev -- --port " + std::to_string(freeLocalPort()), *Url::parse("http://localhost:5173"),
                               "", {}, {}, std::nullopt};
        server.start(context);
        EXPECT_TRUE(runLoopUntil([&] { return address.has_value(); }, std::chrono::seconds(120)));
        InspectTarget clicked;
        if (address) {
            open(address->string(), 1024, 768);
            EXPECT_TRUE(eventually("!!document.querySelector('h1')", "true"));
            preview->setInspectMode(true);
            barrier();
            js("(() => { const r = document.querySelector('h1').getBoundingClientRect();"
               " document.elementFromPoint(r.left + 5, r.top + r.height / 2).dispatchEvent(new MouseEvent('click',"
               " {bubbles: true, cancelable: true, composed: true, clientX: r.left + 5, clientY: r.top + r.height / 2}));"
               " return 1; })()");
            EXPECT_TRUE(runLoopUntil([&] { return !inspected.empty(); }, std::chrono::seconds(20)));
            if (!inspected.empty()) clicked = inspected.back();
        }
        server.stop();
        runLoopUntil([&] { return !server.isRunning(); }, std::chrono::seconds(10));
        return clicked;
    }
};

}  // namespace

TEST_P(FrameworkSources, TheDevelopmentBuildNamesTheElementsFile) {
    if (!registryReachable()) GTEST_SKIP() << "the npm registry cannot be reached, so no starter can be made";
    const std::string framework = GetParam();
    const fs::path project = dir / framework;
    const std::string make = "cd '" + dir.path().string() + "' && PATH=/usr/bin:/bin timeout 600 npm create --yes vite@latest " +
                             framework + " -- --template " + framework + " --no-interactive >/dev/null 2>&1 && cd " + framework +
                             " && PATH=/usr/bin:/bin timeout 600 npm install --no-audit --no-fund >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << make;

    const InspectTarget heading = clickHeading(project);
    EXPECT_EQ(heading.framework, framework);
    EXPECT_EQ(heading.locatedBy, LocatedBy::framework);
    const fs::path file = heading.fileGuess;
    EXPECT_EQ(file.filename(), framework == "vue" ? "HelloWorld.vue" : "App.svelte") << heading.fileGuess;
    if (framework == "svelte") EXPECT_GT(heading.line, 0);
}

INSTANTIATE_TEST_SUITE_P(Starters, FrameworkSources, ::testing::Values("vue", "svelte"),
                         [](const auto& info) { return std::string(info.param); });
