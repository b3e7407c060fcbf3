#include "PreviewHarness.h"
#include "support/Text.h"

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

TEST_F(Loads, EachLoadSaysHowItEndedAndOnlyASuccessReportsItsRoute) {
    std::vector<PreviewLoad> loads;
    value.onLoad = [&](const PreviewLoad& load) { loads.push_back(load); };
    server.serve("/", "<!doctype html><p>x</p>");
    open(server.url("/"));
    ASSERT_TRUE(waitForLoad());
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].outcome, PreviewLoad::Outcome::shown);
    EXPECT_EQ(loads[0].address, server.url("/"));
    // The first update brings both tokens in; let their loads settle.
    update();
    ASSERT_TRUE(runLoopUntil([&] { return loads.size() >= 2 && !webkit_web_view_is_loading(coordinator->webView()); }));
    loads.clear();
    routes.clear();

    // Nothing listens on the local address: no route, and the engine's error page is held back
    // (the window says the server is awaited instead).
    const std::string nowhere = "http://127.0.0.1:" + std::to_string(freeLocalPort()) + "/nowhere";
    value.url = Url::parse(nowhere);
    update();
    ASSERT_TRUE(runLoopUntil([&] { return loads.size() == 1; }));
    EXPECT_EQ(loads[0].outcome, PreviewLoad::Outcome::nothingAnswers);
    EXPECT_EQ(loads[0].address, nowhere);
    ASSERT_TRUE(runLoopUntil([&] { return !webkit_web_view_is_loading(coordinator->webView()); }));
    EXPECT_EQ(std::count(routes.begin(), routes.end(), "/nowhere"), 0);
    EXPECT_FALSE(text::contains(js("document.body ? document.body.innerText : ''"), "Connection refused"));

    // A name that does not resolve is a failure the engine shows.
    value.url = Url::parse("http://tarn-test.invalid/");
    update();
    ASSERT_TRUE(runLoopUntil([&] { return loads.size() == 2; }, std::chrono::seconds(30)));
    EXPECT_EQ(loads[1].outcome, PreviewLoad::Outcome::failed);
}

TEST(PreviewAddresses, LocalAddresses) {
    for (const char* local : {"http://localhost:3000/", "http://127.0.0.1:5173", "http://[::1]:8080/", "http://app.localhost:3000/",
                              "http://0.0.0.0:4000"}) {
        EXPECT_TRUE(preview::isLocalAddress(local)) << local;
    }
    for (const char* remote : {"https://example.com/", "http://192.168.1.4:3000/", "not an address"}) {
        EXPECT_FALSE(preview::isLocalAddress(remote)) << remote;
    }
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
