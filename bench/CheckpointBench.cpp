// The cost of a checkpoint against what git itself takes to record the same tree (`git add -A` and
// `git write-tree`), in the same run. On a project of 20,000 source files (a git working copy):
// the first record, which stores every file, against the same into a new repository; a later one
// (three files changed) against a temporary index of the project's own. And a starter-sized
// project. Medians of 5 runs. Prints TABLE rows for bench/run.sh.
#include "TestSupport.h"
#include "versions/CheckpointStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void sh(const std::string& command) {
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

// `files` source files of about 1.5 kB in folders of 100, a node_modules folder beside them, and
// the whole committed as a git working copy.
void makeProject(const fs::path& root, int files) {
    fs::create_directories(root / "node_modules" / "dep");
    for (int i = 0; i < 2000; ++i) std::ofstream(root / "node_modules" / "dep" / ("m" + std::to_string(i) + ".js")) << "x";
    for (int i = 0; i < files; ++i) {
        fs::path folder = root / "src" / ("part" + std::to_string(i / 100));
        if (i % 100 == 0) fs::create_directories(folder);
        std::ofstream out(folder / ("Component" + std::to_string(i) + ".tsx"));
        for (int line = 0; line < 30; ++line) out << "export const value" << line << " = \"" << i << "-" << line << "\";\n";
    }
    std::ofstream(root / ".gitignore") << "node_modules\n";
    sh("cd '" + root.string() + "' && git init -q -b main . && git add -A && git -c user.email=b@b -c user.name=B commit -qm init");
}

void touchThree(const fs::path& root, int round) {
    for (int i = 0; i < 3; ++i) std::ofstream(root / "src" / "part0" / ("Component" + std::to_string(i) + ".tsx"), std::ios::app) << "// " << round << "\n";
}

struct Figures {
    double gitFirst, tarnFirst, gitLater, tarnLater;
};

Figures measure(const fs::path& root, const fs::path& scratch) {
    std::vector<double> gitFirst, tarnFirst, gitLater, tarnLater;
    const fs::path index = scratch / "baseline-index";
    const std::string baseline = "cd '" + root.string() + "' && GIT_INDEX_FILE='" + index.string() +
                                 "' git add -A && GIT_INDEX_FILE='" + index.string() + "' git write-tree >/dev/null";
    // A first record has to store every file: git does the same into a repository of its own.
    const fs::path fresh = scratch / "baseline-repository";
    const std::string firstBaseline = "cd '" + root.string() + "' && export GIT_DIR='" + fresh.string() + "' GIT_WORK_TREE='" +
                                      root.string() + "' && git add -A && git write-tree >/dev/null";
    for (int run = 0; run < 5; ++run) {
        fs::remove_all(fresh);
        sh("git init -q --bare '" + fresh.string() + "'");
        auto start = Clock::now();
        sh(firstBaseline);
        gitFirst.push_back(since(start));
        fs::remove(index);
        sh(baseline);
        touchThree(root, run);
        start = Clock::now();
        sh(baseline);
        gitLater.push_back(since(start));

        fs::remove_all(scratch / "stores");
        start = Clock::now();
        auto store = tarn::CheckpointStore::open(root, scratch / "stores");
        const auto first = store->record("first");
        tarnFirst.push_back(since(start));
        touchThree(root, run + 100);
        // As before a request: what it waits for.
        start = Clock::now();
        store->record("later");
        tarnLater.push_back(since(start));
    }
    return {median(gitFirst), median(tarnFirst), median(gitLater), median(tarnLater)};
}

void row(const char* figure, double tarn, double git, const char* baseline, const char* target) {
    std::printf("TABLE\t%s\t%.0f ms\t%.0f ms (%s)\t%.2fx\t%s\n", figure, tarn, git, baseline, tarn / git, target);
}

}  // namespace

int main() {
    tarn::test::TempDir dir("tarn-bench-checkpoints-");
    makeProject(dir / "large", 20000);
    makeProject(dir / "starter", 40);
    const Figures large = measure(dir / "large", dir.path());
    const Figures starter = measure(dir / "starter", dir.path());
    row("checkpoint, 20,000 files, first (at opening)", large.tarnFirst, large.gitFirst, "git add + write-tree, new repository", "-");
    row("checkpoint, 20,000 files, 3 changed", large.tarnLater, large.gitLater, "git add + write-tree, temporary index", "<= 1.20x");
    std::printf("TABLE\tcheckpoint, starter-sized (40 files), 3 changed\t%.0f ms\t%.0f ms (git add + write-tree)\t%.2fx\t<= 100 ms\n",
                starter.tarnLater, starter.gitLater, starter.tarnLater / starter.gitLater);
}
