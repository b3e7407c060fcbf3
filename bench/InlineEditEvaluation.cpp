// How often an inline edit lands, on real projects: each project's dev server is started, its page
// loaded in the preview (the bridge injected), and every visible text of the page edited in place
// as a user would, then checked on the page and undone with git. The edit adds a word at the end
// (--append, the default) or replaces the text's first word (--first-word). A project must be a
// git working copy with its dependencies installed.
// Usage: tarn_bench_inline_edits [--append|--first-word] PROJECT...
#include "ProjectPage.h"
#include "agents/AgentService.h"
#include "agents/AgentTexts.h"
#include "agents/ProjectFiles.h"
#include "agents/rendered/ProjectSearch.h"
#include "support/Json.h"
#include "support/Text.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gtk/gtk.h>
#include <map>

using namespace tarn;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string js(WebKitWebView* view, const std::string& script) { return test::evaluateInPage(view, script); }

// Every element that shows text of its own, through open shadow roots: the text as the bridge
// reports it, its file hint, and a path to find it again after a reload.
const char* kCollect = R"JS((() => {
  const seg = new Intl.Segmenter(undefined, { granularity: "grapheme" });
  const snippet = (el) => {
    const t = (el.textContent || "").trim().replace(/\s+/g, " ");
    if (t.length <= 160) return t;
    let out = "";
    for (const s of seg.segment(t)) { if (out.length + s.segment.length > 160) break; out += s.segment; }
    return out;
  };
  const skip = new Set(["SCRIPT", "STYLE", "NOSCRIPT", "TEMPLATE", "TITLE"]);
  const found = [];
  const visit = (root, path) => {
    const elements = root.querySelectorAll("*");
    elements.forEach((el, index) => {
      if (skip.has(el.tagName)) return;
      if (el.closest && (el.closest("vite-error-overlay") || el.closest("nextjs-portal"))) return;
      const own = Array.from(el.childNodes).filter(n => n.nodeType === 3).map(n => n.textContent).join("").trim();
      const r = el.getBoundingClientRect();
      const style = getComputedStyle(el);
      if (own && r.width > 0 && r.height > 0 && style.visibility !== "hidden" && style.display !== "none") {
        found.push({ path: path.concat([index]), text: snippet(el),
                     hint: el.getAttribute("data-source-file") || el.getAttribute("data-source") || el.getAttribute("data-file") || "" });
      }
      if (el.shadowRoot) visit(el.shadowRoot, path.concat([index, "shadow"]));
    });
  };
  visit(document, []);
  return found;
})())JS";

std::string findByPath(const json::Json& path) {
    return "(() => { let root = document; const p = " + path.dump() +
           "; let el = null; for (let i = 0; i < p.length; i++) { if (p[i] === 'shadow') { root = el && el.shadowRoot; "
           "if (!root) return null; continue; } el = root.querySelectorAll('*')[p[i]]; if (!el) return null; } "
           "return el; })()";
}

struct Outcome {
    int total = 0, landed = 0, broken = 0, elsewhere = 0;
    std::map<std::string, int> refused;
    std::vector<std::string> misses;
};

bool firstWordMode = false;

// The text as the user types it in the editor.
std::string edited(const std::string& shown) {
    if (!firstWordMode) return shown + " Tarn";
    std::size_t start = 0;
    while (start < shown.size() && !std::isalpha(static_cast<unsigned char>(shown[start]))) ++start;
    std::size_t end = start;
    while (end < shown.size() && std::isalpha(static_cast<unsigned char>(shown[end]))) ++end;
    if (start == end) return shown + " Tarn";
    return shown.substr(0, start) + "Tarn" + shown.substr(end);
}

Outcome evaluate(const fs::path& root) {
    Outcome outcome;
    bench::ProjectPage page;
    if (!page.open(root)) return outcome;
    WebKitWebView* view = page.view();
    auto reload = [&] { page.reload(); };
    json::Json targets = json::Json::parse(js(view, kCollect), nullptr, false);
    if (!targets.is_array()) return outcome;
    // Every element's text as it was: an edit may show on its element and on no other.
    std::vector<std::string> before;
    for (const auto& t : targets) before.push_back(t["text"].get<std::string>());
    for (std::size_t index = 0; index < targets.size(); ++index) {
        const auto& target = targets[index];
        const std::string shown = target["text"].get<std::string>();
        const std::string changed = edited(shown);
        ++outcome.total;
        try {
            rendered::replaceShownText(shown, changed, target["hint"].get<std::string>(), root);
        } catch (const AgentServiceError& e) {
            ++outcome.refused[e.what()];
            outcome.misses.push_back("refused \"" + shown.substr(0, 60) + "\": " + e.what());
            continue;
        } catch (const std::exception& e) {
            ++outcome.refused[e.what()];
            continue;
        }
        // The page shows it (hot update or reload), and is still a page.
        const std::string check = "(() => { const el = " + findByPath(target["path"]) +
                                  "; return !!el && (el.textContent || '').trim().replace(/\\s+/g, ' ').includes(" +
                                  json::Json(changed).dump() + ") && !document.querySelector('vite-error-overlay'); })()";
        bool shownNow = bench::turnUntil([&] { return js(view, check) == "true"; }, std::chrono::seconds(8));
        if (!shownNow) {
            reload();
            shownNow = js(view, check) == "true";
        }
        // Compared once the page has all its elements again (a full reload renders in steps).
        json::Json after;
        bench::turnUntil([&] {
            after = json::Json::parse(js(view, kCollect), nullptr, false);
            return after.is_array() && after.size() == targets.size();
        }, std::chrono::seconds(5));
        for (std::size_t other = 0; after.is_array() && other < after.size() && other < before.size(); ++other) {
            const std::string now = after[other]["text"].get<std::string>();
            // What the same place renders changes with it (a component's words on every card), and
            // so do the texts of the element's ancestors and descendants.
            if (other == index || now == before[other] || now == edited(before[other])) continue;
            const std::string related = "(() => { const a = " + findByPath(target["path"]) + ", b = " + findByPath(targets[other]["path"]) +
                                        "; return !!a && !!b && (a.contains(b) || b.contains(a)); })()";
            if (js(view, related) == "true") continue;
            ++outcome.elsewhere;
            outcome.misses.push_back("changed another element: \"" + shown.substr(0, 40) + "\" → \"" + before[other].substr(0, 40) + "\"");
            break;
        }
        if (shownNow) {
            ++outcome.landed;
        } else {
            bool broken = js(view, "!!document.querySelector('vite-error-overlay') || document.body.innerText.trim().length == 0") == "true";
            outcome.broken += broken ? 1 : 0;
            outcome.misses.push_back(std::string(broken ? "broke the page" : "not shown") + " \"" + shown.substr(0, 60) + "\"");
        }
        std::system(("git -C '" + root.string() + "' checkout -q -- . 2>/dev/null").c_str());
        reload();
    }
    return outcome;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !gtk_init_check()) {
        std::fprintf(stderr, "usage (under a display): %s PROJECT...\n", argv[0]);
        return 2;
    }
    int total = 0, landed = 0, broken = 0, elsewhere = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--first-word" || std::string(argv[i]) == "--append") {
            firstWordMode = std::string(argv[i]) == "--first-word";
            continue;
        }
        fs::path root = fs::canonical(argv[i]);
        Outcome o = evaluate(root);
        std::printf("%-24s %3d texts, %3d landed (%.0f%%), %d broke the page, %d changed another element\n", root.filename().c_str(),
                    o.total, o.landed, o.total ? 100.0 * o.landed / o.total : 0.0, o.broken, o.elsewhere);
        for (const auto& miss : o.misses) std::printf("    %s\n", miss.c_str());
        std::fflush(stdout);
        total += o.total;
        landed += o.landed;
        broken += o.broken;
        elsewhere += o.elsewhere;
    }
    std::printf("all: %d texts, %d landed (%.1f%%), %d broke the page, %d changed another element\n", total, landed,
                total ? 100.0 * landed / total : 0.0, broken, elsewhere);
    return 0;
}
