// The time of one local-agent text replacement in a project with 2,000 source files and 200,000
// files under node_modules, against the same search in a project with the 2,000 sources alone.
// The walk never enters node_modules, so the two should be close. Then the inline edit's search
// for text as the page shows it, against the plain search, on the larger project.
#include "agents/AgentService.h"
#include "agents/AgentTexts.h"
#include "agents/ProjectFiles.h"
#include "agents/rendered/ProjectSearch.h"

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

void write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void makeSources(const fs::path& root) {
    for (int d = 0; d < 20; ++d) {
        fs::path folder = root / "src" / ("feature" + std::to_string(d));
        fs::create_directories(folder);
        for (int f = 0; f < 100; ++f) {
            write(folder / ("Component" + std::to_string(f) + ".tsx"),
                  "export function Component" + std::to_string(f) + "() {\n  return <div className=\"card\">Item " +
                      std::to_string(d * 100 + f) + "</div>;\n}\n");
        }
    }
    // The text sits in the last file of the walk, so every source file is read.
    write(root / "src" / "feature9" / "Component99.tsx", "export const Label = () => <p>Needle text</p>;\n");
}

void makeNodeModules(const fs::path& root) {
    for (int p = 0; p < 2000; ++p) {
        fs::path folder = root / "node_modules" / ("package-" + std::to_string(p)) / "lib";
        fs::create_directories(folder);
        for (int f = 0; f < 100; ++f) write(folder / ("module" + std::to_string(f) + ".js"), "Needle text\n");
    }
}

using Replace = std::vector<std::string> (*)(const std::string&, const std::string&, const std::string&, const fs::path&);

double medianMilliseconds(const fs::path& root, int runs, Replace replace = tarn::AgentService::replaceText) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        replace("Needle text", "Needle TEXT", "", root);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        replace("Needle TEXT", "Needle text", "", root);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    fs::path base = fs::temp_directory_path() / "tarn-bench-replace";
    fs::remove_all(base);
    fs::path withModules = base / "with-node-modules", alone = base / "sources-only";
    std::printf("generating projects in %s ...\n", base.c_str());
    makeSources(withModules);
    makeNodeModules(withModules);
    makeSources(alone);

    const int runs = 9;
    double a = medianMilliseconds(alone, runs);
    double b = medianMilliseconds(withModules, runs);
    std::printf("sources alone (2,000 files):              %8.2f ms (median of %d)\n", a, runs);
    std::printf("with 200,000 files under node_modules:    %8.2f ms (median of %d)\n", b, runs);
    std::printf("ratio: %.2f\n", b / a);
    double c = medianMilliseconds(withModules, runs, tarn::rendered::replaceShownText);
    std::printf("inline edit search, as the page shows text: %8.2f ms (median of %d); against the plain search: %.2f\n", c,
                runs, c / b);
    fs::remove_all(base);
    return 0;
}
