#include "PreviewHarness.h"
#include "support/Text.h"

using namespace tarn;
using namespace tarn::test;

namespace {

class Loads : public PreviewHarness {
protected:
    // Waits until the page has been requested `count` times and the load has settled.
    bool requested(const std::string& path, int count) {
        bool ok = runLoopUntil([&] { return server.requests(path) >= count && !webkit_web_view_is_loading(view()); },
                               std::chrono::seconds(20));
        return ok && server.requests(path) == count;
    }
};

}  // namespace

TEST_F(Loads, EachCallLoadsOnce) {
    server.serve("/", "<!doctype html><p>home</p>");
    server.serve("/other", "<!doctype html><p>other</p>");
    open(server.url("/"));
    ASSERT_TRUE(requested("/", 1));

    // The bridge's state changes nothing of the page.
    preview->setInspectMode(true);
    preview->setSelections({"a"});
    ASSERT_TRUE(requested("/", 1));
    EXPECT_EQ(js("document.querySelector('p').textContent"), "\"home\"");

    // The same address again loads exactly once more; a new one once.
    preview->load(*Url::parse(server.url("/")));
    ASSERT_TRUE(requested("/", 2));
    preview->load(*Url::parse(server.url("/other")));
    ASSERT_TRUE(requested("/other", 1));

    // A reload keeps the route the page navigated to.
    js("history.pushState({}, '', '/inner'); 1");
    preview->reload();
    ASSERT_TRUE(requested("/inner", 1));
    EXPECT_EQ(server.requests("/other"), 1);
    EXPECT_EQ(routes.back(), "/inner");
}

TEST_F(Loads, EachLoadSaysHowItEndedAndOnlyASuccessReportsItsRoute) {
    server.serve("/", "<!doctype html><p>x</p>");
    open(server.url("/"));
    ASSERT_TRUE(waitForLoad());
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].outcome, PreviewLoad::Outcome::shown);
    EXPECT_EQ(loads[0].address, server.url("/"));
    loads.clear();
    routes.clear();

    // Nothing listens on the local address: no route, and the engine's error page is held back
    // (the window says the server is awaited instead).
    const std::string nowhere = "http://127.0.0.1:" + std::to_string(freeLocalPort()) + "/nowhere";
    preview->load(*Url::parse(nowhere));
    ASSERT_TRUE(runLoopUntil([&] { return loads.size() == 1; }));
    EXPECT_EQ(loads[0].outcome, PreviewLoad::Outcome::nothingAnswers);
    EXPECT_EQ(loads[0].address, nowhere);
    ASSERT_TRUE(runLoopUntil([&] { return !webkit_web_view_is_loading(view()); }));
    EXPECT_EQ(std::count(routes.begin(), routes.end(), "/nowhere"), 0);
    EXPECT_FALSE(text::contains(js("document.body ? document.body.innerText : ''"), "Connection refused"));

    // A name that does not resolve is a failure the engine shows.
    preview->load(*Url::parse("http://tarn-test.invalid/"));
    ASSERT_TRUE(runLoopUntil([&] { return loads.size() == 2; }, std::chrono::seconds(30)));
    EXPECT_EQ(loads[1].outcome, PreviewLoad::Outcome::failed);
}

TEST_F(Loads, TheWarmUpsEmptyPageIsNoPageOfTheProject) {
    open(std::nullopt);
    // The window asks for the page right after warming up: the empty page ends after it was asked.
    preview->warmUp();
    const std::string nowhere = "http://127.0.0.1:" + std::to_string(freeLocalPort()) + "/";
    preview->load(*Url::parse(nowhere));
    ASSERT_TRUE(runLoopUntil([&] { return loads.size() == 1 && !webkit_web_view_is_loading(view()); }));
    EXPECT_EQ(loads[0].outcome, PreviewLoad::Outcome::nothingAnswers);
    EXPECT_TRUE(routes.empty()) << routes.front();
}

TEST_F(Loads, DismantledViewReportsNothing) {
    server.serve("/", "<!doctype html><p>x</p>");
    open(server.url("/"));
    ASSERT_TRUE(waitForLoad());
    WebKitWebView* web = view();
    preview.reset();
    console.clear();
    routes.clear();
    EXPECT_EQ(evaluateInPage(web, "String(window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.tarnConsole)"),
              "\"undefined\"");
    // Without handlers the page cannot post at all, so nothing is on its way.
    evaluateInPage(web, "console.log('late'); history.pushState({}, '', '/late'); 1");
    EXPECT_TRUE(console.empty());
    EXPECT_TRUE(routes.empty());
}
