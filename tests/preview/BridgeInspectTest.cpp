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
        ASSERT_TRUE(eventually("document.readyState", "\"complete\""));
    }
    // The bridge calls run in order before any later script, so nothing needs waiting for here.
    void inspectMode(bool on) {
        preview->setInspectMode(on);
    }
    // A click dispatched at the centre of the element that `query` finds, with a modifier key
    // ("metaKey", "ctrlKey") or none.
    void click(const std::string& query, const std::string& modifier = "") {
        js("(() => { const r = document.querySelector(" + json::Json(query).dump() +
           ").getBoundingClientRect(); const x = r.left + Math.min(r.width / 2, 5), y = r.top + r.height / 2;"
           " document.elementFromPoint(x, y).dispatchEvent(new MouseEvent('click', {bubbles: true, cancelable: true,"
           " composed: true, clientX: x, clientY: y" + (modifier.empty() ? "" : ", " + modifier + ": true") +
           "})); return 1; })()");
    }
    InspectTarget clickAndWait(const std::string& query, const std::string& modifier = "") {
        std::size_t before = inspected.size();
        click(query, modifier);
        EXPECT_TRUE(runLoopUntil([&] { return inspected.size() > before; }, std::chrono::seconds(10)));
        return inspected.back();
    }
    int frames() { return std::atoi(js("document.querySelectorAll('.tarn-selected-overlay').length").c_str()); }
};

}  // namespace

TEST_F(Inspect, ClicksPassThroughWhileInspectModeIsOff) {
    click("#save");
    barrier();
    EXPECT_EQ(js("window.saved"), "1");
    EXPECT_TRUE(inspected.empty());
}

TEST_F(Inspect, ClicksSelectAndDeselectWithoutReachingThePage) {
    inspectMode(true);
    auto link = clickAndWait("#link");
    EXPECT_EQ(js("window.linkClicks === undefined && location.pathname"), "\"/\"");
    EXPECT_TRUE(link.isSelected);
    EXPECT_EQ(link.selectionKey, "a#link");
    EXPECT_EQ(link.tagName, "a");
    EXPECT_EQ(link.textSnippet, "Go elsewhere");
    EXPECT_FALSE(link.metaClick);
    EXPECT_EQ(frames(), 1);

    auto again = clickAndWait("#link", "metaKey");
    EXPECT_FALSE(again.isSelected);
    EXPECT_TRUE(again.metaClick);
    EXPECT_EQ(frames(), 0);
    // Ctrl is the Command key here.
    EXPECT_TRUE(clickAndWait("#link", "ctrlKey").metaClick);
    EXPECT_FALSE(clickAndWait("#link", "shiftKey").metaClick);

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

    // A cut never splits a character: an emoji (two units) across unit 160 is left out whole,
    // and so is a flag (four units, one character) that would end past it.
    js("document.getElementById('long').textContent = 'a'.repeat(159) + '\u{1F600}' + 'tail'; 1");
    EXPECT_EQ(clickAndWait("#long").textSnippet, std::string(159, 'a'));
    js("document.getElementById('long').textContent = 'a'.repeat(157) + '\u{1F1EB}\u{1F1F7}tail'; 1");
    EXPECT_EQ(clickAndWait("#long").textSnippet, std::string(157, 'a'));
}

TEST_F(Inspect, ElementsInsideOpenShadowRootsAreTheOnesHit) {
    js("(() => { const host = document.createElement('x-card'); host.id = 'host'; document.body.prepend(host);"
       " const root = host.attachShadow({mode: 'open'});"
       " root.innerHTML = '<div><h2 class=\"title\">Shadow title</h2><p>Shadow body</p></div>'; return 1; })()");
    inspectMode(true);
    js("(() => { const h = document.getElementById('host').shadowRoot.querySelector('h2');"
       " const r = h.getBoundingClientRect();"
       " h.dispatchEvent(new MouseEvent('click', {bubbles: true, cancelable: true, composed: true,"
       " clientX: r.left + 2, clientY: r.top + r.height / 2})); return 1; })()");
    ASSERT_TRUE(runLoopUntil([&] { return !inspected.empty(); }));
    EXPECT_EQ(inspected.back().tagName, "h2");
    EXPECT_EQ(inspected.back().textSnippet, "Shadow title");
    EXPECT_EQ(inspected.back().selectionKey, "x-card#host > div > h2");
}

TEST_F(Inspect, SelectionsArePrunedToWhatTarnKeeps) {
    inspectMode(true);
    auto save = clickAndWait("#save");
    clickAndWait("#link");
    clickAndWait("div.card");
    EXPECT_EQ(frames(), 3);

    // The window's selection list is the source of truth: the update prunes the page to it.
    preview->setSelections({save.selectionKey, "not-on-this-page"});
    EXPECT_EQ(frames(), 1);
    js("window.__tarnSyncSelections('not an array'); 1");
    EXPECT_EQ(frames(), 0);

    // A zero-sized element keeps its entry but its frame is hidden.
    save = clickAndWait("#save");
    js("(() => { const r = document.getElementById('empty'); r.style.width='10px'; r.style.height='10px'; return 1 })()");
    auto empty = clickAndWait("#empty");
    js("(() => { const r = document.getElementById('empty'); r.style.width='0'; r.style.height='0'; return 1 })()");
    js("window.dispatchEvent(new Event('resize')); 1");
    // The frames follow on the next animation frame.
    EXPECT_TRUE(eventually("[...document.querySelectorAll('.tarn-selected-overlay')].map(f => f.style.display).join(',')",
                           "\"block,none\""));

    // Turning inspect mode off hides the hover outline and keeps the frames.
    preview->setSelections({save.selectionKey, empty.selectionKey});
    inspectMode(false);
    EXPECT_EQ(frames(), 2);
    click("#save");
    EXPECT_EQ(js("window.saved"), "1");
}

TEST_F(Inspect, RealPointerClickThroughTheXServer) {
    if (!std::getenv("DISPLAY") || std::system("command -v xdotool >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xdotool is needed for real pointer input";
    }
    inspectMode(true);
    js("1");  // the inspect mode call has run in the page
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
    EXPECT_TRUE(eventually("[...document.documentElement.children].filter(e => e.tagName === 'DIV')[0].style.display",
                           "\"block\""));
}

// What the development builds of the frameworks leave on their elements, as they leave it.
TEST_F(Inspect, FrameworkSourcesGoWithTheClick) {
    inspectMode(true);
    js("(() => { const p = document.querySelectorAll('section p');"
       " p[0].__svelte_meta = {loc: {file: 'src/App.svelte', line: 3, column: 4}};"
       " const card = document.querySelector('.card');"
       " card.__vueParentComponent = {type: {__file: '/home/me/shop/src/Card.vue'}};"
       " document.getElementById('deep')['__reactFiber$x1'] = {_debugSource: null, return:"
       "   {_debugSource: {fileName: '/home/me/shop/src/Deep.jsx', lineNumber: 12, columnNumber: 7}}};"
       " return 1; })()");
    auto svelte = clickAndWait("section p");
    EXPECT_EQ(svelte.fileGuess, "src/App.svelte");
    EXPECT_EQ(svelte.line, 4);  // Svelte 4 counts from 0
    EXPECT_EQ(svelte.column, 5);
    EXPECT_EQ(svelte.framework, "svelte");
    EXPECT_EQ(svelte.locatedBy, LocatedBy::framework);

    auto vue = clickAndWait(".card");
    EXPECT_EQ(vue.fileGuess, "/home/me/shop/src/Card.vue");
    EXPECT_EQ(vue.line, 0);
    EXPECT_EQ(vue.framework, "vue");

    // An element of its own without one takes its nearest ancestor's, said as such.
    auto deep = clickAndWait("#deep em");
    EXPECT_EQ(deep.location(), "/home/me/shop/src/Deep.jsx:12");
    EXPECT_EQ(deep.locatedBy, LocatedBy::ancestor);
    EXPECT_EQ(deep.framework, "react");

    auto plain = clickAndWait("#save");
    EXPECT_EQ(plain.locatedBy, LocatedBy::none);
    EXPECT_EQ(plain.fileGuess, "");
    EXPECT_EQ(plain.sameTextCount, 1);

    // The same text shown by two elements of a kind is counted, so the editor can say so.
    js("(() => { for (let i = 0; i < 2; i++) { const b = document.createElement('b'); b.className = 'twice';"
       " b.textContent = ' Add  to basket'; document.body.appendChild(b); } return 1; })()");
    EXPECT_EQ(clickAndWait("b.twice").sameTextCount, 2);
}

// A click tells the element's computed style; a style tried on it shows at once, over its own
// rules, and taking the tried styles back leaves its inline style as it was.
TEST_F(Inspect, StylesAreToldTriedAndTakenBack) {
    inspectMode(true);
    auto save = clickAndWait("#save");
    EXPECT_EQ(save.computedStyle["margin-top"], "8px");
    EXPECT_EQ(save.computedStyle["display"], "block");
    auto card = clickAndWait("div.card");
    EXPECT_EQ(card.computedStyle["font-size"], "16px");
    EXPECT_EQ(card.computedStyle["text-align"], "start");
    js("document.querySelector('div.card').style.color = 'red'; 1");
    // Colors come as rgb(), whichever way the page wrote them.
    js("document.getElementById('save').style.color = 'oklch(0.628 0.2577 29.23)'; 1");
    click("#save");
    save = clickAndWait("#save");
    EXPECT_EQ(save.computedStyle["color"], "rgb(255, 0, 0)");
    js("document.getElementById('save').removeAttribute('style'); 1");

    preview->tryStyle(save.selectionKey, "margin-top", "3px");
    preview->tryStyle(card.selectionKey, "font-size", "22px");
    preview->tryStyle(card.selectionKey, "color", "rgb(0, 0, 255)");
    preview->tryStyle("not-selected", "width", "12px");
    const std::string cardStyle = "getComputedStyle(document.querySelector('div.card'))";
    EXPECT_EQ(js("getComputedStyle(document.getElementById('save')).marginTop"), "\"3px\"");
    EXPECT_EQ(js(cardStyle + ".fontSize"), "\"22px\"");
    EXPECT_EQ(js(cardStyle + ".color"), "\"rgb(0, 0, 255)\"");
    preview->takeBackStyles();
    EXPECT_EQ(js(cardStyle + ".fontSize"), "\"16px\"");
    EXPECT_EQ(js("document.querySelector('div.card').style.cssText"), "\"color: red;\"");
    EXPECT_EQ(js("document.getElementById('save').getAttribute('style') || ''"), "\"\"");
}

// Where each value comes from: the rule that wins the cascade (layers and specificity weighed),
// the file the dev server names for its sheet, and how many elements the rule styles.
TEST_F(Inspect, StyleSourcesNameTheWinningRule) {
    inspectMode(true);
    js("(() => { const s = document.createElement('style'); s.setAttribute('data-vite-dev-id', '/home/me/shop/src/App.css');"
       " s.textContent = '@layer base { #save { margin-top: 1px } } .box.box { margin-top: 2px } div { padding: 3px }"
       " @media (max-width: 1px) { .box { margin-top: 4px } }'; document.head.appendChild(s);"
       " document.body.appendChild(document.createElement('div')); return 1; })()");
    auto save = clickAndWait("#save");
    const StyleSource margin = save.styleSources["margin-top"];
    EXPECT_EQ(margin.kind, StyleSource::Kind::rule);
    EXPECT_EQ(margin.selector, ".box.box");
    EXPECT_EQ(margin.sheet, "/home/me/shop/src/App.css");
    EXPECT_EQ(margin.specificity, (std::array<int, 3>{0, 2, 0}));
    EXPECT_EQ(margin.reach, 1);
    EXPECT_TRUE(margin.sameSource);
    EXPECT_EQ(save.styleSources["margin-left"].selector, ".box");
    EXPECT_EQ(save.styleSources["width"].kind, StyleSource::Kind::defaulted);
    EXPECT_EQ(save.placeCount, 1);

    auto card = clickAndWait("div.card");
    EXPECT_EQ(card.styleSources["font-size"].kind, StyleSource::Kind::inherited);
    EXPECT_GT(card.styleSources["padding-top"].reach, 1);
    EXPECT_FALSE(card.styleSources["padding-top"].sameSource);
    js("document.querySelector('div.card').style.fontSize = '9px'; 1");
    click("div.card");
    EXPECT_EQ(clickAndWait("div.card").styleSources["font-size"].kind, StyleSource::Kind::inline_);
}
