#include "TestSupport.h"
#include "process/ProcessEnvironment.h"
#include "bootstrap/ProjectBootstrapService.h"
#include "bootstrap/PackageManagers.h"
#include "bootstrap/StackRules.h"
#include "support/PlatformError.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <tuple>

namespace fs = std::filesystem;
using namespace tarn;
using namespace tarn::test;

namespace {

// A machine whose installed package managers are exactly the ones a test names.
class Detection : public ::testing::Test {
protected:
    TempDir dir;
    fs::path bin = dir / "bin";
    fs::path tools = dir / "tools";
    fs::path project = dir / "my project ünï";
    ProcessEnvironment::ScopedToolFolders folders{(dir / "home").string(), {(dir / "system").string()},
                                                  {tools.string() + "/"}};
    ScopedEnv path{"PATH", bin.string()};
    ProjectBootstrapService service;

    void SetUp() override {
        fs::create_directories(bin);
        fs::create_directories(project);
    }
    void install(const std::string& name, const fs::path& where) { writeScript(where / name, "exit 0\n"); }
    void manifest(const std::string& json) { writeFile(project / "package.json", json); }
    ProjectContext detect() { return service.detectProject(Url::forFile(project.string())); }
    std::string failure() {
        try {
            detect();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no error";
    }
};

}  // namespace

TEST_F(Detection, ChoosesLockfileManagerOrFallsBack) {
    manifest(R"({"scripts":{"dev":"next dev -p 4000"},"dependencies":{"next":"16","react":"19"}})");
    writeFile(project / "yarn.lock", "");
    writeFile(project / "package-lock.json", "{}");
    install("yarn", bin);
    auto ctx = detect();
    EXPECT_EQ(ctx.stack, SupportedStack::nextJS);
    EXPECT_EQ(ctx.packageManager, PackageManager::yarn);
    EXPECT_EQ(ctx.installCommand, "yarn install");
    EXPECT_EQ(ctx.devCommand, "yarn dev");
    EXPECT_EQ(ctx.commandSource, "Lockfile");
    EXPECT_EQ(ctx.lockfiles, (std::vector<std::string>{"yarn.lock", "package-lock.json"}));
    EXPECT_EQ(ctx.defaultURL.string(), "http://localhost:4000");
    EXPECT_EQ(ctx.rootURL.path(), project.string());
    EXPECT_FALSE(ctx.instructionsFile);

    // pnpm's lockfile with only npm (in a fixed tool folder) and bun (on a system folder) installed.
    fs::remove(bin / "yarn");
    writeFile(project / "pnpm-lock.yaml", "");
    install("npm", tools);
    install("bun", dir / "system");
    ctx = detect();
    EXPECT_EQ(ctx.packageManager, PackageManager::npm);
    EXPECT_EQ(ctx.devCommand, "npm run dev");
    EXPECT_EQ(ctx.commandSource, "Runtime fallback (pnpm unavailable)");
    EXPECT_EQ(ctx.availablePackageManagers, (std::vector<PackageManager>{PackageManager::npm, PackageManager::bun}));
}

TEST_F(Detection, NothingInstalledKeepsTheLockfileChoice) {
    manifest(R"({"scripts":{"dev":"vite --port 5174 --host"},"devDependencies":{"vite":"7","react":"19"}})");
    writeFile(project / "bun.lockb", "");
    auto ctx = detect();
    EXPECT_EQ(ctx.packageManager, PackageManager::bun);
    EXPECT_EQ(ctx.installCommand, "bun install");
    EXPECT_EQ(ctx.devCommand, "bun run dev");
    EXPECT_EQ(ctx.commandSource, "Lockfile (PATH unresolved)");
    EXPECT_TRUE(ctx.availablePackageManagers.empty());
    EXPECT_EQ(ctx.stack, SupportedStack::viteReact);
    EXPECT_EQ(ctx.defaultURL.string(), "http://localhost:5174");

    // No lockfile, npm missing but yarn installed.
    fs::remove(project / "bun.lockb");
    install("yarn", bin);
    ctx = detect();
    EXPECT_EQ(ctx.packageManager, PackageManager::yarn);
    EXPECT_EQ(ctx.commandSource, "Runtime fallback (npm unavailable)");
}

TEST_F(Detection, StackAndDefaultPort) {
    auto stackOf = [&](const std::string& deps, const std::string& dev = "x") {
        manifest(R"({"scripts":{"dev":")" + dev + R"("},"dependencies":)" + deps + "}");
        return detect();
    };
    EXPECT_EQ(stackOf(R"({"vite":"1"})").stack, SupportedStack::vite);
    EXPECT_EQ(stackOf(R"({"react":"1"})").stack, SupportedStack::react);
    EXPECT_EQ(stackOf(R"({})").stack, SupportedStack::unknown);
    EXPECT_EQ(stackOf(R"({"react":"1","vite":"1"})").defaultURL.string(), "http://localhost:5173");
    EXPECT_EQ(stackOf(R"({"react":"1"})").defaultURL.string(), "http://localhost:3000");
    EXPECT_EQ(stackOf(R"({"next":"1"})", "next dev --port=4000").defaultURL.string(), "http://localhost:3000");
    // A port too large for 64 bits is no port.
    EXPECT_EQ(stackOf(R"({"next":"1"})", "next dev -p 99999999999999999999").defaultURL.string(),
              "http://localhost:3000");
    // Dependencies that are not objects count as none.
    manifest(R"({"scripts":{"dev":"x"},"dependencies":["react"],"devDependencies":null})");
    EXPECT_EQ(detect().stack, SupportedStack::unknown);
}

TEST(StackRules, TheCommonStacksByTheirDependencies) {
    // What the official starters of each stack depend on, and what a user would call them.
    const std::vector<std::tuple<std::set<std::string>, std::string, std::int64_t>> cases{
        {{"next", "react", "react-dom"}, "Next.js", 3000},
        {{"vite", "@vitejs/plugin-react", "react", "react-dom"}, "Vite + React", 5173},
        {{"vite", "@vitejs/plugin-vue", "vue"}, "Vite + Vue", 5173},
        {{"vite", "@sveltejs/vite-plugin-svelte", "svelte"}, "Vite + Svelte", 5173},
        {{"vite", "vite-plugin-solid", "solid-js"}, "Vite + Solid", 5173},
        {{"vite", "@preact/preset-vite", "preact", "react"}, "Vite + Preact", 5173},
        {{"vite", "lit"}, "Vite + Lit", 5173},
        {{"vite", "typescript"}, "Vite", 5173},
        {{"nuxt", "vue", "vite"}, "Nuxt", 3000},
        {{"@sveltejs/kit", "svelte", "vite"}, "SvelteKit", 5173},
        {{"astro", "react"}, "Astro", 4321},
        {{"@remix-run/dev", "@remix-run/react", "react", "vite"}, "Remix", 5173},
        {{"@remix-run/dev", "@remix-run/react", "react"}, "Remix", 3000},
        {{"@react-router/dev", "react-router", "react", "vite"}, "React Router", 5173},
        {{"@angular/core", "@angular/cli"}, "Angular", 4200},
        {{"react", "react-scripts"}, "React", 3000},
        {{"express"}, "Unknown", 3000},
        {{}, "Unknown", 3000},
    };
    for (const auto& [names, label, port] : cases) {
        const SupportedStack stack = stacks::detect(names);
        EXPECT_EQ(nameOf(stack), label) << label;
        EXPECT_EQ(stacks::defaultPort(stack, names), port) << label;
    }
}

TEST(PackageManagers, TheOneTheCommandsRun) {
    const std::vector<std::tuple<std::string, std::string, std::optional<PackageManager>>> cases{
        {"pnpm install", "pnpm dev", PackageManager::pnpm},  // "pnpm" holds "npm"
        {"npm ci", "npm run dev", PackageManager::npm},
        {"YARN", "x", PackageManager::yarn},
        {"bun install", "bun run dev", PackageManager::bun},
        {"make deps", "make serve", std::nullopt},
    };
    for (const auto& [install, dev, manager] : cases) EXPECT_EQ(packageManagers::inferFrom(install, dev), manager) << install;
}

TEST(PortExtraction, FlagNeedsWhiteSpace) {
    EXPECT_EQ(ProjectBootstrapService::extractPort("next dev -p 4000"), 4000);
    EXPECT_EQ(ProjectBootstrapService::extractPort("vite --port\t5174 --host"), 5174);
    EXPECT_EQ(ProjectBootstrapService::extractPort("next dev --port=4000"), std::nullopt);
    EXPECT_EQ(ProjectBootstrapService::extractPort(""), std::nullopt);
    EXPECT_EQ(packageManagers::choose(PackageManager::bun, {PackageManager::yarn, PackageManager::pnpm}),
              PackageManager::pnpm);
}

TEST_F(Detection, BadManifestsGiveClearErrors) {
    EXPECT_EQ(failure(), "No package.json found in this folder.");
    EXPECT_THROW(service.detectProject(Url::forFile((dir / "missing folder").string())), ProjectBootstrapError);

    manifest("[1, 2]");
    EXPECT_EQ(failure(), "package.json exists but could not be parsed.");
    for (const char* broken : {"\"just a string\"", "42", "{\"scripts\": {", "", "{\"a\":\"\xFF\"}"}) {
        manifest(broken);
        EXPECT_THROW(detect(), PlatformError) << broken;
    }
    // What is wrong and where, in a sentence; never the parser's own text.
    manifest(R"({"scripts":{"dev":"vite"},"version":1e400})");
    EXPECT_EQ(failure(), "package.json is not valid JSON: a number is too large (line 1, column 37).");
    manifest("{\n  \"scripts\": {\"dev\": \"vite\"},\n  \"name\" \"x\"\n}");
    EXPECT_EQ(failure(), "package.json is not valid JSON: unexpected text (line 3, column 10).");
    manifest("{\"scripts\": {");
    EXPECT_EQ(failure(), "package.json is not valid JSON: the text ends too early (line 1, column 14).");
    manifest("{\"name\": \"caf\xC3\xA9 \xFF\"}");
    EXPECT_EQ(failure(), "package.json is not valid JSON: the text is not valid UTF-8 (line 1, column 16).");
    for (const char* noDev : {R"({"scripts":{"dev":"next dev","lint":3}})", R"({"scripts":null})",
                              R"({"scripts":{"dev":5}})", R"({"scripts":["dev"]})", R"({})"}) {
        manifest(noDev);
        EXPECT_EQ(failure(), "No dev script was found. Add scripts.dev in package.json.") << noDev;
    }

    // A folder named package.json, an oversized file: the system's own message, never a crash.
    fs::remove(project / "package.json");
    fs::create_directories(project / "package.json");
    EXPECT_NE(failure().find("Is a directory"), std::string::npos);
    fs::remove(project / "package.json");
    writeFile(project / "package.json", "{\"pad\":\"" + std::string(ProjectBootstrapService::maxPackageJSONSize, 'x') + "\"}");
    EXPECT_NE(failure().find("larger than"), std::string::npos);

    // A symlinked manifest is read through the link.
    fs::remove(project / "package.json");
    writeFile(dir / "elsewhere.json", R"({"scripts":{"dev":"vite"},"dependencies":{"react":"1"}})");
    fs::create_symlink(dir / "elsewhere.json", project / "package.json");
    EXPECT_EQ(detect().stack, SupportedStack::react);
}
