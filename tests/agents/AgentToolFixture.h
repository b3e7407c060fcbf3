#pragma once
#include "TestSupport.h"
#include "process/ProcessEnvironment.h"
#include "model/ProjectContext.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace tarn::test {

// A project folder (a git working copy) and the stand-in agent tools, installed or not at the
// test's choice, on a machine whose real tools are out of sight.
class AgentToolFixture : public ::testing::Test {
protected:
    TempDir dir{"tarn agents ü-"};
    std::filesystem::path standin = dir / "standin";
    std::filesystem::path project = dir / "my project ü";
    ScopedEnv standinDir{"TARN_STANDIN_DIR", standin.string()};
    ProcessEnvironment::ScopedToolFolders folders{(dir / "home").string(), {}, {}};
    std::optional<ScopedEnv> path;

    void SetUp() override {
        std::filesystem::create_directories(standin);
        std::filesystem::create_directories(project);
        installTools(true);
    }

    void installTools(bool installed) {
        path.reset();
        path.emplace("PATH", installed ? std::string(TARN_FIXTURES_DIR) + "/bin" : (dir / "empty").string());
    }

    // Another codex executable (its own path), as after an update: its help is asked afresh.
    void installAnotherCodex(const std::string& name) {
        std::filesystem::path bin = dir / name;
        std::filesystem::create_directories(bin);
        std::filesystem::copy_file(std::string(TARN_FIXTURES_DIR) + "/bin/codex", bin / "codex");
        path.reset();
        path.emplace("PATH", bin.string());
    }

    int helpProbes() {
        std::string calls = readFile(standin / "codex.help-calls");
        return static_cast<int>(std::count(calls.begin(), calls.end(), '\n'));
    }

    void initRepository() {
        shell("git init -q . && git config user.email t@example.com && git config user.name T && "
              "mkdir -p src && echo one > src/App.tsx && echo a > old.ts && git add -A && git commit -qm init");
    }

    // Runs a shell command in the project folder with the usual tools on the path.
    void shell(const std::string& command) {
        std::string line = "cd '" + project.string() + "' && export PATH=/usr/bin:/bin && " + command;
        ASSERT_EQ(std::system(line.c_str()), 0) << command;
    }

    void replay(const std::string& name, const std::string& contents) { writeFile(standin / name, contents); }

    std::vector<std::string> recordedArguments(const std::string& tool) {
        std::string raw = readFile(standin / (tool + ".args"));
        std::vector<std::string> args;
        std::size_t start = 0;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\0') {
                args.push_back(raw.substr(start, i - start));
                start = i + 1;
            }
        }
        return args;
    }

    Url root() const { return Url::forFile(project.string()); }

    ProjectContext context() const {
        return ProjectContext{root(), SupportedStack::nextJS, PackageManager::npm, "npm install", "npm run dev",
                              *Url::parse("http://localhost:3000"), "Lockfile", {}, {}, std::nullopt};
    }
};

}  // namespace tarn::test
