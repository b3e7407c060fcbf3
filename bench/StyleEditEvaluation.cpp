// How often a style change from the Style popover lands, on real projects: each project's dev
// server is started and its page loaded in the preview (the bridge injected); for every visible
// element with text of its own, its text colour, its font size and its padding are set in turn as
// Apply sets them (located as a click locates it, written by the same code), then the page is read
// again. A change lands when the element shows the new value; it reaches another element when an
// element that neither comes from the same source place nor lies inside one changed any of the
// three (without the framework's word on places, as with React 19, elements of the same shape, a
// list's items, count as one place). Each change is undone with git. Also the time from Apply to
// the source written.
// Usage: tarn_bench_style_edits [--most N] PROJECT...   (at most N elements a project, 12 by
// default; each project a git working copy with its dependencies installed)
#include "ProjectPage.h"
#include "agents/AgentServiceError.h"
#include "agents/rendered/ProjectSearch.h"
#include "agents/style/StyleEdit.h"
#include "preview/BridgeMessages.h"
#include "support/Json.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gtk/gtk.h>
#include <map>

using namespace tarn;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Every element's values of the three properties and its source place; the ones to change marked.
const char* kRead = R"JS((() => {
  const skip = new Set(["SCRIPT", "STYLE", "NOSCRIPT", "TEMPLATE", "TITLE", "HEAD", "META", "LINK"]);
  const place = (el) => { const s = window.__tarnSourceOf && window.__tarnSourceOf(el);
                          return s && !s.fromAncestor && s.line > 0 ? s.file + ":" + s.line + ":" + s.column : ""; };
  return Array.from(document.body.querySelectorAll("*")).map((el, index) => {
    if (skip.has(el.tagName) || el.closest("vite-error-overlay, nextjs-portal")) return null;
    const c = getComputedStyle(el);
    const own = Array.from(el.childNodes).filter(n => n.nodeType === 3).map(n => n.textContent).join("").trim();
    const r = el.getBoundingClientRect();
    const target = own && r.width > 0 && r.height > 0 && c.visibility !== "hidden" && c.display !== "none" && !el.closest("svg");
    return { index, tag: el.tagName, place: place(el), target: !!target, text: (el.textContent || "").trim().replace(/\s+/g, " ").slice(0, 160),
             values: [c.color, c.fontSize, c.paddingTop, c.paddingRight, c.paddingBottom, c.paddingLeft].join("|") };
  });
})())JS";

// The body's elements only: a style block added to the head moves no element.
std::string at(int index) { return "document.body.querySelectorAll('*')[" + std::to_string(index) + "]"; }

struct Outcome {
    int total = 0, landed = 0, refused = 0, elsewhere = 0;
    std::vector<double> milliseconds;
    std::vector<std::string> misses;
};

// The element as a click reports it, located as Tarn locates it.
std::optional<InspectTarget> clicked(bench::ProjectPage& page, int index, const fs::path& root) {
    auto report = json::Json::parse(page.js("(() => { const el = " + at(index) + "; const s = window.__tarnStyleOf(el);"
                                            " s.source = window.__tarnSourceOf(el); s.tagName = el.tagName.toLowerCase();"
                                            " s.textSnippet = (el.textContent || '').trim().replace(/\\s+/g, ' ').slice(0, 160); return s; })()"),
                                    nullptr, false);
    auto target = preview::decodeInspect(report);
    if (!target) return std::nullopt;
    return rendered::locateElement(*target, root);
}

std::string pixels(const std::string& value, int more) {
    try {
        return std::to_string(static_cast<int>(std::stod(value)) + more) + "px";
    } catch (const std::exception&) {
        return "20px";
    }
}

// What was written, for a change that did not show.
std::string diffOf(const fs::path& root) {
    std::string out;
    if (FILE* pipe = popen(("git -C '" + root.string() + "' diff -U0 --no-color | grep '^[-+][^-+]' | head -n 6").c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) out += std::string("\n        ") + buffer;
        pclose(pipe);
        while (!out.empty() && out.back() == '\n') out.pop_back();
    }
    return out;
}

std::size_t most = 12;

Outcome evaluate(const fs::path& root) {
    Outcome outcome;
    bench::ProjectPage page;
    if (!page.open(root)) return outcome;
    json::Json before = json::Json::parse(page.js(kRead), nullptr, false);
    if (!before.is_array()) return outcome;
    std::vector<json::Json> targets;
    for (const auto& element : before) {
        if (element.is_object() && element["target"].get<bool>()) targets.push_back(element);
    }
    // At most `most` of them, spread over the page.
    if (targets.size() > most) {
        std::vector<json::Json> spread;
        for (std::size_t i = 0; i < most; ++i) spread.push_back(targets[i * targets.size() / most]);
        targets = std::move(spread);
    }
    for (const auto& element : targets) {
        const int index = element["index"].get<int>();
        for (int which = 0; which < 3; ++which) {
            // The page as it is now: a layout that settles late (fonts, a transition) is not the change's.
            const json::Json now = json::Json::parse(page.js(kRead), nullptr, false);
            auto target = clicked(page, index, root);
            if (!target || !now.is_array() || now.size() != before.size()) continue;
            ++outcome.total;
            style::Change change{style::Property::color, "rgb(18, 52, 86)", style::allSides};
            std::string before_ = target->computedStyle["color"], check = "color";
            if (which == 1) {
                before_ = target->computedStyle["font-size"];
                change = {style::Property::fontSize, pixels(before_, 7), style::allSides};
                check = "fontSize";
            } else if (which == 2) {
                before_ = target->computedStyle["padding-top"];
                change = {style::Property::padding, pixels(before_, 6), style::allSides};
                check = "paddingLeft";
            }
            const std::string what = style::describe(change) + " of <" + target->tagName + "> \"" + element["text"].get<std::string>().substr(0, 40) + "\"";
            try {
                const auto start = Clock::now();
                style::apply(root, style::Request{*target, change, before_});
                outcome.milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                if (outcome.milliseconds.back() > 50) outcome.misses.push_back("slow (" + std::to_string(static_cast<int>(outcome.milliseconds.back())) + " ms): " + what);
            } catch (const std::exception& e) {
                ++outcome.refused;
                outcome.misses.push_back("refused " + what + ": " + e.what());
                continue;
            }
            // Hot update or reload; then the page's values again, once it has all its elements.
            const std::string shows = "(() => { const el = " + at(index) + "; return !!el && getComputedStyle(el)." + check + " === " +
                                      json::Json(change.value).dump() + "; })()";
            bool landed = bench::turnUntil([&] { return page.js(shows) == "true"; }, std::chrono::seconds(6));
            if (!landed) {
                page.reload();
                landed = page.js(shows) == "true";
            }
            json::Json after;
            bench::turnUntil([&] {
                after = json::Json::parse(page.js(kRead), nullptr, false);
                return after.is_array() && after.size() == now.size();
            }, std::chrono::seconds(5));
            if (landed) ++outcome.landed;
            else outcome.misses.push_back("not shown: " + what + diffOf(root));
            const std::string place = element["place"].get<std::string>();
            for (std::size_t other = 0; after.is_array() && other < after.size() && other < now.size(); ++other) {
                if (!after[other].is_object() || !now[other].is_object() || static_cast<int>(other) == index) continue;
                // Only elements at rest count: one a reload has not yet put back is not this change's.
                if (after[other]["values"] == now[other]["values"] || now[other] != before[other]) continue;
                // What comes from the same place changes with it, and so does what lies inside it.
                const std::string related = "(() => { const a = " + at(index) + ", b = " + at(static_cast<int>(other)) +
                                            "; const place = (el) => { const s = window.__tarnSourceOf(el); return s && !s.fromAncestor && s.line > 0 ? s.file + ':' + s.line + ':' + s.column : ''; };"
                                            // Without the framework's word (React 19), a list's items by their shape: tag and classes, up two parents.
                                            " const shape = (el) => [el, el.parentElement, el.parentElement && el.parentElement.parentElement]"
                                            ".map((x) => x ? x.tagName + '.' + x.className : '').join('<');"
                                            " for (let e = b; e; e = e.parentElement) { if (e === a || (" + json::Json(place).dump() +
                                            " !== '' && place(e) === " + json::Json(place).dump() + ") || (" + json::Json(place).dump() +
                                            " === '' && place(e) === '' && shape(e) === shape(a))) return true; } return false; })()";
                if (page.js(related) == "true") continue;
                ++outcome.elsewhere;
                outcome.misses.push_back("changed another element: " + what + " → <" + now[other]["tag"].get<std::string>() + "> \"" +
                                         now[other]["text"].get<std::string>().substr(0, 40) + "\" " + now[other]["values"].get<std::string>() +
                                         " → " + after[other]["values"].get<std::string>());
                break;
            }
            std::system(("git -C '" + root.string() + "' checkout -q -- . 2>/dev/null").c_str());
            // Until the dev server serves the files as they were.
            bench::turnUntil([&] {
                page.reload();
                const json::Json again = json::Json::parse(page.js(kRead), nullptr, false);
                return again.is_array() && again.size() == before.size() && again[index]["values"] == before[index]["values"];
            }, std::chrono::seconds(10));
        }
    }
    return outcome;
}

double slowest(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !gtk_init_check()) {
        std::fprintf(stderr, "usage (under a display): %s PROJECT...\n", argv[0]);
        return 2;
    }
    int total = 0, landed = 0, elsewhere = 0;
    double worst = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--most" && i + 1 < argc) {
            most = static_cast<std::size_t>(std::max(1, std::atoi(argv[++i])));
            continue;
        }
        const fs::path root = fs::canonical(argv[i]);
        const Outcome o = evaluate(root);
        std::printf("%-24s %3d changes, %3d landed (%.0f%%), %d refused, %d changed another element, Apply to written %.1f ms at most\n",
                    root.filename().c_str(), o.total, o.landed, o.total ? 100.0 * o.landed / o.total : 0.0, o.refused, o.elsewhere,
                    slowest(o.milliseconds));
        for (const auto& miss : o.misses) std::printf("    %s\n", miss.c_str());
        std::fflush(stdout);
        total += o.total;
        landed += o.landed;
        elsewhere += o.elsewhere;
        worst = std::max(worst, slowest(o.milliseconds));
    }
    std::printf("all: %d changes, %d landed (%.1f%%), %d changed another element, Apply to written %.1f ms at most\n", total, landed,
                total ? 100.0 * landed / total : 0.0, elsewhere, worst);
    return 0;
}
