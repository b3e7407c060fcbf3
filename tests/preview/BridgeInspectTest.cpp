#include "PreviewHarness.h"

#include <cstdlib>

using namespace tarn;
using namespace tarn::test;

namespace {

const char* kPage = R"(<!doctype html><html><head><style>body{margin:0;font:16px sans-serif} .box{display:block;margin:8px}</style></head><body>
<a id="link" href="/elsewhere" onclick="window.linkClicks=(window.linkClicks||0)+1">Go elsewhere</a>
<button id="save" class="box" onclick="window.saved=(window.saved||0)+1">Save</button>
<div class="card  primary big" data-source-file="src/Card.tsx">Card text</div>
<section><p class="" data-testid="checkout-button">first</p><p>second
   line</p></section>
<span id="empty" style="display:inline-block;width:0;height:0"></span>
<div id="deep"><div><div><div><div><div><div><div><div><div><em>deep</em></div></div></div></div></div></div></div></div></div></div>
<p id="long"></p>
<script>document.getElementById('long').textContent = ('word\n  ').repeat(100);</script>
</body></html>)";

class Inspect : public PreviewHarness {
protected:
    void SetUp() override {
        PreviewHarness::SetUp();
        server.serve("/", kPage);
        open(server.url("/"));
        ASSERT_TRUE(waitForLoad());
        // The first update reloads the page (both tokens are new to the view); wait until the
        // fresh document has loaded, so no late reload wipes a selection.
        update();
        ASSERT_TRUE(runLoopUntil([&] { return server.requests("/") >= 2; }, std::chrono::seconds(20)));
        settle(300);
        ASSERT_TRUE(runLoopUntil([&] { return !webkit_web_view_is_loading(coordinator->webView()); }));
    }
    void inspectMode(bool on) {
        value.inspectModeEnabled = on;
        update();
        settle(50);
    }
    // A click dispatched at the centre of the element that `query` finds.
    void click(const std::string& query, bool meta = false) {
        js("(() => { const r = document.querySelector(" + json::Json(query).dump() +
           ").getBoundingClientRect(); const x = r.left + Math.min(r.width / 2, 5), y = r.top + r.height / 2;"
           " document.elementFromPoint(x, y).dispatchEvent(new MouseEvent('click', {bubbles: true, cancelable: true,"
           " clientX: x, clientY: y, metaKey: " + std::string(meta ? "true" : "false") + "})); return 1; })()");
    }
    InspectTarget clickAndWait(const std::string& query, bool meta = false) {
        std::size_t before = inspected.size();
        click(query, meta);
        EXPECT_TRUE(runLoopUntil([&] { return inspected.size() > before; }, std::chrono::seconds(10)));
        return inspected.back();
    }
    int frames() { return std::atoi(js("document.querySelectorAll('.tarn-selected-overlay').length").c_str()); }
};

}  // namespace

TEST_F(Inspect, ClicksPassThroughWhileInspectModeIsOff) {
    click("#save");
    settle();
    EXPECT_EQ(js("window.saved"), "1");
    EXPECT_TRUE(inspected.empty());
}

TEST_F(Inspect, ClicksSelectAndDeselectWithoutReachingThePage) {
    inspectMode(true);
    auto link = clickAndWait("#link");
    settle();
    EXPECT_EQ(js("window.linkClicks === undefined && location.pathname"), "\"/\"");
    EXPECT_TRUE(link.isSelected);
    EXPECT_EQ(link.selectionKey, "a#link");
    EXPECT_EQ(link.tagName, "a");
    EXPECT_EQ(link.textSnippet, "Go elsewhere");
    EXPECT_FALSE(link.metaClick);
    EXPECT_EQ(frames(), 1);

    auto again = clickAndWait("#link", true);
    EXPECT_FALSE(again.isSelected);
    EXPECT_TRUE(again.metaClick);
    EXPECT_EQ(frames(), 0);

    auto save = clickAndWait("#save");
    EXPECT_EQ(save.selectionKey, "button#save");
    EXPECT_EQ(save.selector, "#save");
    EXPECT_EQ(save.componentGuess, "box");
    EXPECT_EQ(js("window.saved === undefined"), "true");
}

TEST_F(Inspect, KeysSelectorsAndGuesses) {
    inspectMode(true);
    auto card = clickAndWait("div.card");
    EXPECT_EQ(card.selector, "div.card.primary");
    EXPECT_EQ(card.componentGuess, "card");
    EXPECT_EQ(card.fileGuess, "src/Card.tsx");
    EXPECT_EQ(card.selectionKey, "html > body > div:nth-of-type(1)");

    auto first = clickAndWait("section p:first-child");
    EXPECT_EQ(first.componentGuess, "checkout-button");
    EXPECT_EQ(first.selector, "p");
    EXPECT_EQ(first.selectionKey, "html > body > section > p:nth-of-type(1)");
    auto second = clickAndWait("section p:nth-child(2)");
    EXPECT_EQ(second.componentGuess, "p");
    EXPECT_EQ(second.textSnippet, "second line");

    auto deep = clickAndWait("em");
    EXPECT_EQ(deep.selectionKey, "div > div > div > div > div > div > div > em");

    auto longText = clickAndWait("#long");
    // Trimmed, runs of white space collapsed, then cut to 160 code units.
    std::string expected;
    for (int i = 0; i < 32; ++i) expected += "word ";
    EXPECT_EQ(longText.textSnippet, expected);
}

TEST_F(Inspect, SelectionsArePrunedToWhatTarnKeeps) {
    inspectMode(true);
    auto save = clickAndWait("#save");
    clickAndWait("#link");
    clickAndWait("div.card");
    EXPECT_EQ(frames(), 3);

    // The window's selection list is the source of truth: the update prunes the page to it.
    value.selectedSelectionKeys = {save.selectionKey, "not-on-this-page"};
    update();
    settle();
    EXPECT_EQ(frames(), 1);
    js("window.__tarnSyncSelections('not an array'); 1");
    settle();
    EXPECT_EQ(frames(), 0);

    // A zero-sized element keeps its entry but its frame is hidden.
    save = clickAndWait("#save");
    js("(() => { const r = document.getElementById('empty'); r.style.width='10px'; r.style.height='10px'; return 1 })()");
    auto empty = clickAndWait("#empty");
    js("(() => { const r = document.getElementById('empty'); r.style.width='0'; r.style.height='0'; return 1 })()");
    js("window.dispatchEvent(new Event('resize')); 1");
    settle();
    EXPECT_EQ(js("[...document.querySelectorAll('.tarn-selected-overlay')].map(f => f.style.display).join(',')"),
              "\"block,none\"");

    // Turning inspect mode off hides the hover outline and keeps the frames.
    value.selectedSelectionKeys = {save.selectionKey, empty.selectionKey};
    inspectMode(false);
    EXPECT_EQ(frames(), 2);
    click("#save");
    settle();
    EXPECT_EQ(js("window.saved"), "1");
}

TEST_F(Inspect, RealPointerClickThroughTheXServer) {
    if (!std::getenv("DISPLAY") || std::system("command -v xdotool >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xdotool is needed for real pointer input";
    }
    inspectMode(true);
    settle(300);
    std::string rect = js("(() => { const r = document.getElementById('save').getBoundingClientRect();"
                          " return [Math.round(r.left + 5), Math.round(r.top + r.height / 2)]; })()");
    auto point = json::Json::parse(rect);
    // The undecorated window sits at the screen's top left corner, so page and screen agree.
    std::string command = "xdotool mousemove " + std::to_string(point[0].get<int>()) + " " +
                          std::to_string(point[1].get<int>()) + " sleep 0.2 click 1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_TRUE(runLoopUntil([&] { return !inspected.empty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(inspected.back().selectionKey, "button#save");
    EXPECT_TRUE(inspected.back().isSelected);
    // The hover outline followed the real pointer.
    EXPECT_EQ(js("[...document.documentElement.children].filter(e => e.tagName === 'DIV')[0].style.display"),
              "\"block\"");
}
