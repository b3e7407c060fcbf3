// How often a selected element's source location is right, on real projects: each project's dev
// server is started and its page loaded in the preview (the bridge injected); for every visible
// element with text of its own, the location is worked out as Tarn does on a click (what the
// framework's development build says, then the element's text) and compared with where the text
// is written: the one source file that holds it literally, and its line. Elements whose text no
// single file holds literally (values, text split by markup) have no such answer and are counted
// apart. Also the time from the click's report to the location.
// Usage: tarn_bench_locations PROJECT...
#include "ProjectPage.h"
#include "agents/AgentService.h"
#include "agents/AgentTexts.h"
#include "agents/ProjectFiles.h"
#include "agents/rendered/ProjectSearch.h"
#include "support/Files.h"
#include "support/Json.h"
#include "support/Text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gtk/gtk.h>

using namespace tarn;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Every element with text of its own, as the bridge reports a click on it.
const char* kCollect = R"JS((() => {
  const skip = new Set(["SCRIPT", "STYLE", "NOSCRIPT", "TEMPLATE", "TITLE"]);
  const found = [];
  const visit = (root) => {
    root.querySelectorAll("*").forEach((el) => {
      if (skip.has(el.tagName)) return;
      if (el.closest && (el.closest("vite-error-overlay") || el.closest("nextjs-portal"))) return;
      const own = Array.from(el.childNodes).filter(n => n.nodeType === 3).map(n => n.textContent).join(" ").trim().replace(/\s+/g, " ");
      const r = el.getBoundingClientRect();
      const style = getComputedStyle(el);
      if (own && r.width > 0 && r.height > 0 && style.visibility !== "hidden" && style.display !== "none") {
        found.push({ text: (el.textContent || "").trim().replace(/\s+/g, " ").slice(0, 160), own: own,
                     source: window.__tarnSourceOf ? window.__tarnSourceOf(el) : null });
      }
      if (el.shadowRoot) visit(el.shadowRoot);
    });
  };
  visit(document);
  return found;
})())JS";

struct Truth {
    std::string file;
    int line = 0;
};

// The one source file that holds the text as it is written, and the line; none when no file or
// several do.
std::optional<Truth> writtenAt(const std::string& own, const fs::path& root) {
    std::optional<Truth> truth;
    for (const auto& file : projectfiles::sourceFiles(root)) {
        const std::string relative = projectfiles::relativePath(file, root);
        if (text::startsWith(relative, "public/") || text::startsWith(relative, "dist/") || text::toLower(fs::path(relative).extension().string()) == ".md") continue;
        std::string content;
        try {
            content = files::readFile(file, projectfiles::largestReadFile);
        } catch (const std::exception&) {
            continue;
        }
        auto at = content.find(own);
        if (at == std::string::npos) continue;
        if (truth || content.find(own, at + 1) != std::string::npos) return std::nullopt;
        truth = Truth{relative, static_cast<int>(std::count(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(at), '\n')) + 1};
    }
    return truth;
}

struct Outcome {
    int total = 0, located = 0, judged = 0, fileRight = 0, lineRight = 0, byFramework = 0;
    std::vector<double> milliseconds;
    std::vector<std::string> misses;
};

Outcome evaluate(const fs::path& root) {
    Outcome outcome;
    bench::ProjectPage page;
    if (!page.open(root)) return outcome;
    json::Json elements = json::Json::parse(page.js(kCollect), nullptr, false);
    if (!elements.is_array()) return outcome;
    for (const auto& element : elements) {
        ++outcome.total;
        InspectTarget target;
        target.textSnippet = element["text"].get<std::string>();
        if (element["source"].is_object()) {
            const auto& source = element["source"];
            target.fileGuess = source.value("file", "");
            target.line = source.value("line", 0);
            target.column = source.value("column", 0);
            target.framework = source.value("framework", "");
            target.locatedBy = source.value("fromAncestor", false) ? LocatedBy::ancestor : LocatedBy::framework;
        }
        const auto start = Clock::now();
        const InspectTarget located = rendered::locateElement(target, root);
        outcome.milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (located.locatedBy == LocatedBy::framework) ++outcome.byFramework;
        if (!located.fileGuess.empty()) ++outcome.located;
        auto truth = writtenAt(element["own"].get<std::string>(), root);
        if (!truth) continue;
        ++outcome.judged;
        const bool file = located.fileGuess == truth->file;
        const bool line = file && located.line == truth->line;
        outcome.fileRight += file;
        outcome.lineRight += line;
        if (!line) {
            outcome.misses.push_back("\"" + element["own"].get<std::string>().substr(0, 50) + "\": " +
                                     (located.location().empty() ? std::string("none") : located.location()) + ", written at " +
                                     truth->file + ":" + std::to_string(truth->line));
        }
    }
    return outcome;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !gtk_init_check()) {
        std::fprintf(stderr, "usage (under a display): %s PROJECT...\n", argv[0]);
        return 2;
    }
    int judged = 0, files = 0, lines = 0;
    std::vector<double> all;
    std::printf("%-14s %8s %8s %8s %10s %10s %12s %10s\n", "project", "elements", "located", "judged", "file", "line",
                "by framework", "median ms");
    for (int i = 1; i < argc; ++i) {
        fs::path root = fs::canonical(argv[i]);
        Outcome o = evaluate(root);
        auto share = [](int n, int of) { return of ? 100.0 * n / of : 0.0; };
        std::printf("%-14s %8d %8d %8d %9.0f%% %9.0f%% %12d %10.1f\n", root.filename().c_str(), o.total, o.located, o.judged,
                    share(o.fileRight, o.judged), share(o.lineRight, o.judged), o.byFramework, median(o.milliseconds));
        for (const auto& miss : o.misses) std::printf("    %s\n", miss.c_str());
        std::fflush(stdout);
        judged += o.judged;
        files += o.fileRight;
        lines += o.lineRight;
        all.insert(all.end(), o.milliseconds.begin(), o.milliseconds.end());
    }
    std::printf("all: %d judged, file right %.1f%%, line right %.1f%%, median %.1f ms, slowest %.1f ms\n", judged,
                judged ? 100.0 * files / judged : 0.0, judged ? 100.0 * lines / judged : 0.0, median(all),
                all.empty() ? 0.0 : *std::max_element(all.begin(), all.end()));
    return 0;
}
