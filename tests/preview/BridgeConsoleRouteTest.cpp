#include "PreviewHarness.h"

using namespace tarn;
using namespace tarn::test;

namespace {
class Bridge : public PreviewHarness {};
}

TEST_F(Bridge, ConsoleCallsArePostedBeforeTheyPrint) {
    server.serve("/", R"(<!doctype html><html><body><script>
        const cyclic = {}; cyclic.self = cyclic;
        console.log("a", {b: 1}, 3);
        console.info("quiet"); console.debug("quiet");
        console.warn("careful");
        console.error(cyclic);
        console.log(undefined);
        console.log(() => 1, null, true);
        </script></body></html>)");
    open(server.url("/"));
    ASSERT_TRUE(waitForLoad());
    ASSERT_TRUE(runLoopUntil([&] { return console.size() >= 5; }, std::chrono::seconds(10)));
    barrier();
    ASSERT_EQ(console.size(), 5u);
    EXPECT_EQ(console[0].level, "log");
    EXPECT_EQ(console[0].message, R"(a {"b":1} 3)");
    EXPECT_EQ(console[1].level, "warn");
    EXPECT_EQ(console[2].level, "error");
    EXPECT_EQ(console[2].message, "[object Object]");
    EXPECT_EQ(console[3].message, "");
    EXPECT_EQ(console[4].message, " null true");
    EXPECT_NE(console[0].id, console[1].id);
    // The page's own console still works and the wrapper returns nothing.
    EXPECT_EQ(js("console.log('x')"), "undefined");

    // Half of a surrogate pair in a message: the message still arrives, the half replaced.
    console.clear();
    js("console.warn('lone \\uD83D here', 'pair \\uD83D\\uDE00'); 1");
    ASSERT_TRUE(runLoopUntil([&] { return !console.empty(); }));
    EXPECT_EQ(console[0].message, "lone \uFFFD here pair \U0001F600");
}

TEST_F(Bridge, RoutesAtStartAndOnHistoryChanges) {
    server.serve("/shop", "<!doctype html><p>shop</p>");
    open(server.url("/shop?x=1#top"));
    ASSERT_TRUE(waitForLoad());
    // The bridge reports path and query at document start; the finished load reports the path.
    ASSERT_TRUE(runLoopUntil([&] { return routes.size() >= 2; }));
    EXPECT_EQ(routes[0], "/shop?x=1");
    EXPECT_EQ(routes.back(), "/shop");

    routes.clear();
    js("history.pushState({}, '', '/a?b=2'); 1");
    ASSERT_TRUE(runLoopUntil([&] { return !routes.empty(); }));
    EXPECT_EQ(routes, std::vector<std::string>{"/a?b=2"});
    js("history.replaceState({}, '', '/c'); 1");
    ASSERT_TRUE(runLoopUntil([&] { return routes.size() == 2; }));
    EXPECT_EQ(routes[1], "/c");
    js("history.back(); 1");
    ASSERT_TRUE(runLoopUntil([&] { return routes.size() == 3; }));
    EXPECT_EQ(routes[2], "/shop?x=1");
}

TEST_F(Bridge, FramesInstallOnceAndWindowsStayClosed) {
    server.serve("/inner", "<!doctype html><script>console.log('from frame')</script>");
    server.serve("/", R"(<!doctype html><body><iframe src="/inner"></iframe>
        <script>console.log('opened', String(window.open('/inner')))</script></body>)");
    open(server.url("/"));
    ASSERT_TRUE(waitForLoad());
    ASSERT_TRUE(runLoopUntil([&] { return console.size() >= 2; }, std::chrono::seconds(10)));
    std::vector<std::string> messages;
    for (auto& c : console) messages.push_back(c.message);
    EXPECT_NE(std::find(messages.begin(), messages.end(), "from frame"), messages.end());
    // A window opened without a user gesture is refused.
    EXPECT_NE(std::find(messages.begin(), messages.end(), "opened null"), messages.end());

    // Running the script again changes nothing: still one of each overlay piece.
    js(preview::bridgeScript() + "; 1");
    EXPECT_EQ(js("document.querySelectorAll('style').length"), "1");
    EXPECT_EQ(js("document.documentElement.querySelectorAll(':scope > div').length"), "2");
    console.clear();
    js("console.log('once'); 1");
    barrier();
    EXPECT_EQ(console.size(), 1u);
}
