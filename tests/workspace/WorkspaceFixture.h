#pragma once
#include "TestSupport.h"
#include "process/ProcessEnvironment.h"
#include "support/Text.h"
#include "workspace/AppViewModel.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tarn::test {

// A controller on the real main loop over a real project folder (a git working copy), with the
// stand-in agent tools installed or not at the test's choice and the machine's real ones out of
// sight: the search path holds only the stand-ins chosen and a few system tools.
// What the browser asked of the window's preview.
struct RecordingPreview : PreviewHost {
    std::vector<std::string> loads;
    int reloads = 0;
    void load(const Url& address) override { loads.push_back(address.string()); }
    void reload() override { ++reloads; }
    void warmUp() override {}
    std::vector<std::string> styles;  // "key property value", then "taken back"
    void tryStyle(const std::string& key, const std::string& property, const std::string& value) override {
        styles.push_back(key + " " + property + " " + value);
    }
    void takeBackStyles() override { styles.push_back("taken back"); }
};

class WorkspaceFixture : public ::testing::Test {
protected:
    TempDir dir{"tarn workspace ü-"};
    std::filesystem::path standin = dir / "standin";
    std::filesystem::path project = dir / "web app";
    ScopedEnv standinDir{"TARN_STANDIN_DIR", standin.string()};
    ScopedEnv codexHome{"CODEX_HOME", (dir / "codex-home").string()};
    ProcessEnvironment::ScopedToolFolders folders{(dir / "home").string(), {}, {}};
    std::optional<ScopedEnv> path;
    std::shared_ptr<AppViewModel> vm;
    RecordingPreview preview;

    void SetUp() override {
        std::filesystem::create_directories(standin);
        std::filesystem::create_directories(project);
        std::filesystem::create_directories(dir / "system");
        for (const char* tool : {"sh", "sleep", "node", "npm", "git", "cat", "env", "touch", "mkdir", "rm", "head", "tr", "sed",
                                 "grep", "dirname", "ls", "true", "false", "which"}) {
            for (const char* folder : {"/usr/bin/", "/bin/"}) {
                if (std::filesystem::exists(std::string(folder) + tool)) {
                    std::filesystem::create_symlink(std::string(folder) + tool, dir / "system" / tool);
                    break;
                }
            }
        }
        installAgents({});
    }

    void TearDown() override {
        if (vm) vm->shutdown();
        vm.reset();
        // Let the ended groups go before the folder does.
        runLoopUntil([] { return false; }, std::chrono::milliseconds(1));
    }

    // Only these stand-ins ("codex", "claude") are on the search path.
    void installAgents(const std::vector<std::string>& agents) {
        std::filesystem::path bin = dir / ("agents-" + std::to_string(++installs_));
        std::filesystem::create_directories(bin);
        for (const auto& agent : agents) {
            std::filesystem::create_symlink(std::string(TARN_FIXTURES_DIR) + "/bin/" + agent, bin / agent);
        }
        path.reset();
        path.emplace("PATH", bin.string() + ":" + (dir / "system").string());
    }

    std::shared_ptr<AppViewModel> make() {
        AppViewModelOptions options;
        options.thinkingIdlePoll = std::chrono::milliseconds(5);
        options.thinkingLineDuration = std::chrono::milliseconds(10);
        options.startupPlanLimit = std::chrono::seconds(2);
        options.checkpointsFolder = dir / "checkpoints";
        options.plansFolder = dir / "plans";
        vm = AppViewModel::create(options);
        vm->browser().attach(&preview);
        // The tools answer in the background; the tests start from their answers.
        EXPECT_TRUE(runLoopUntil([&] { return vm->agentsKnown(); }));
        return vm;
    }

    void replay(const std::string& name, const std::string& contents) { writeFile(standin / name, contents); }

    // A request typed in the composer and sent, run to its end.
    void send(const std::string& text) {
        vm->requests().draftPrompt = text;
        runTask(vm->requests().sendPrompt());
    }

    // A project whose dev script is `devScript` (run by the real npm), a git working copy with one
    // commit, its dependencies already in place unless `installed` is false.
    void writeProject(const std::string& devScript, bool installed = true, const std::string& dependencies = "{}") {
        writeFile(project / "package.json", "{\"name\": \"web-app\", \"version\": \"1.0.0\", \"scripts\": {\"dev\": " +
                                                json::Json(devScript).dump() + "}, \"dependencies\": " + dependencies +
                                                ", \"devDependencies\": {\"vite\": \"7\", \"react\": \"19\"}}");
        writeFile(project / "src" / "App.tsx", "export default function App() {\n  return <h1>Hello shop</h1>;\n}\n");
        writeFile(project / ".gitignore", "node_modules\n.tarn\n");
        if (installed) std::filesystem::create_directories(project / "node_modules");
        shell("git init -q -b main . && git config user.email t@example.com && git config user.name T && git add -A && "
              "git commit -qm init");
    }

    void shell(const std::string& command) {
        std::string line = "cd '" + project.string() + "' && export PATH=/usr/bin:/bin && " + command;
        ASSERT_EQ(std::system(line.c_str()), 0) << command;
    }

    Url root() const { return Url::forFile(project.string()); }

    std::vector<std::string> contents() const {
        std::vector<std::string> out;
        for (const auto& m : *vm->chat().messages) out.push_back(m.content);
        return out;
    }
    std::vector<std::string> systemMessages() const {
        std::vector<std::string> out;
        for (const auto& m : *vm->chat().messages) {
            if (m.role == AgentRole::system) out.push_back(m.content);
        }
        return out;
    }
    std::vector<std::string> log() const { return {vm->server().serverLogLines->begin(), vm->server().serverLogLines->end()}; }
    std::string lastLog() const { return vm->server().serverLogLines->empty() ? "" : vm->server().serverLogLines->back(); }
    bool logged(const std::string& line) const {
        auto l = log();
        return std::find(l.begin(), l.end(), line) != l.end();
    }
    bool said(const std::string& text) const {
        auto c = contents();
        return std::find(c.begin(), c.end(), text) != c.end();
    }
    // Waits until no request runs and the thinking loop has ended.
    bool settledRequest() {
        return runLoopUntil([&] { return !*vm->requests().isSending; });
    }

private:
    int installs_ = 0;
};

inline InspectTarget target(const std::string& key, const std::string& snippet, bool selected = true, bool meta = false) {
    InspectTarget t;
    t.selectionKey = key;
    t.isSelected = selected;
    t.selector = "h1";
    t.tagName = "h1";
    t.textSnippet = snippet;
    t.componentGuess = "App";
    t.fileGuess = "src/App.tsx";
    t.metaClick = meta;
    return t;
}

}  // namespace tarn::test
