#include "PreviewHarness.h"

using namespace tarn;
using namespace tarn::test;

namespace {

class Loads : public PreviewHarness {
protected:
    // Waits until the page has been requested `count` times and the load has settled.
    bool requested(const std::string& path, int count) {
        bool ok = runLoopUntil([&] { return server.requests(path) >= count && !webkit_web_view_is_loading(coordinator->webView()); },
                               std::chrono::seconds(20));
        return ok && server.requests(path) == count;
    }
};

}  // namespace

TEST_F(Loads, EachRuleLoadsOnceAndOnlyWhenItShould) {
    server.serve("/", "<!doctype html><p>home</p>");
    server.serve("/other", "<!doctype html><p>other</p>");
    open(server.url("/"));
    ASSERT_TRUE(requested("/", 1));

    // First update: both tokens are new, so a load and a reload (the engine may fold the two into
    // one request when the reload comes while the load is still starting).
    update();
    runLoopUntil([&] { return server.requests("/") >= 3; }, std::chrono::seconds(3));
    ASSERT_TRUE(runLoopUntil([&] { return !webkit_web_view_is_loading(coordinator->webView()); }));
    const int base = server.requests("/");
    ASSERT_GE(base, 2);

    // Only the inspect flag: nothing is loaded.
    value.inspectModeEnabled = true;
    update();
    ASSERT_TRUE(requested("/", base));
    EXPECT_EQ(js("document.querySelector('p').textContent"), "\"home\"");

    // The same address entered again loads exactly once more.
    value.loadAddressToken = Uuid();
    update();
    ASSERT_TRUE(requested("/", base + 1));

    // A new address loads once.
    value.url = Url::parse(server.url("/other"));
    update();
    ASSERT_TRUE(requested("/other", 1));
    update();
    ASSERT_TRUE(requested("/other", 1));

    // A reload keeps the route the page navigated to.
    js("history.pushState({}, '', '/inner'); 1");
    value.reloadToken = Uuid();
    update();
    ASSERT_TRUE(requested("/inner", 1));
    EXPECT_EQ(server.requests("/other"), 1);
    EXPECT_EQ(routes.back(), "/inner");
}

TEST_F(Loads, NoAddressYetThenOneLoad) {
    server.serve("/", "<!doctype html><p>late</p>");
    open(std::nullopt);
    update();
    value.reloadToken = Uuid();
    update();
    EXPECT_FALSE(webkit_web_view_is_loading(coordinator->webView()));
    EXPECT_EQ(server.requests("/"), 0);
    value.url = Url::parse(server.url("/"));
    update();
    ASSERT_TRUE(requested("/", 1));
    EXPECT_EQ(routes.back(), "/");
}

TEST_F(Loads, OnlyASuccessfulLoadReportsItsRoute) {
    server.serve("/", "<!doctype html><p>x</p>");
    open(server.url("/"));
    ASSERT_TRUE(waitForLoad());
    routes.clear();
    // Nothing listens on the address: the load fails and reports no route.
    value.url = Url::parse("http://127.0.0.1:1/nowhere");
    update();
    ASSERT_TRUE(runLoopUntil([&] { return !webkit_web_view_is_loading(coordinator->webView()); }));
    EXPECT_EQ(std::count(routes.begin(), routes.end(), "/nowhere"), 0);
}

TEST_F(Loads, DismantledViewReportsNothing) {
    server.serve("/", "<!doctype html><p>x</p>");
    open(server.url("/"));
    ASSERT_TRUE(waitForLoad());
    coordinator->dismantleView();
    console.clear();
    routes.clear();
    EXPECT_EQ(js("String(window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.tarnConsole)"),
              "\"undefined\"");
    // Without handlers the page cannot post at all, so nothing is on its way.
    js("console.log('late'); history.pushState({}, '', '/late'); 1");
    EXPECT_TRUE(console.empty());
    EXPECT_TRUE(routes.empty());
}
