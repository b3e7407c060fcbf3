#include "preview/BridgeMessages.h"

#include <gtest/gtest.h>

using namespace tarn;

TEST(BridgeMessages, CallsAndMessages) {
    EXPECT_EQ(preview::inspectModeCall(true), "window.__tarnSetInspectMode && window.__tarnSetInspectMode(true);");
    EXPECT_EQ(*preview::selectionsCall({"button#save", "a \"b\""}),
              R"(window.__tarnSyncSelections && window.__tarnSyncSelections(["button#save","a \"b\""]);)");
    EXPECT_EQ(*preview::selectionsCall({}), "window.__tarnSyncSelections && window.__tarnSyncSelections([]);");
    EXPECT_FALSE(preview::selectionsCall({"bad \xFF"}));

    EXPECT_FALSE(preview::decodeRoute(json::Json("just text")));
    EXPECT_EQ(preview::decodeRoute(json::Json::object()), "/");
    EXPECT_EQ(preview::decodeRoute(json::Json{{"route", 5}}), "/");
    auto console = preview::decodeConsole(json::Json{{"message", 3}});
    EXPECT_EQ(console->level, "log");
    EXPECT_EQ(console->message, "");
    EXPECT_FALSE(preview::decodeConsole(json::Json::array()));

    auto target = preview::decodeInspect(json::Json{{"isSelected", "yes"}, {"textSnippet", "  kept as is "}});
    ASSERT_TRUE(target);
    EXPECT_EQ(target->selectionKey.size(), 36u);
    EXPECT_NE(target->selectionKey, preview::decodeInspect(json::Json::object())->selectionKey);
    EXPECT_TRUE(target->isSelected);
    EXPECT_EQ(target->componentGuess, "Unknown");
    EXPECT_EQ(target->textSnippet, "  kept as is ");
    EXPECT_FALSE(target->metaClick);

    EXPECT_EQ(preview::routeOf(std::nullopt), "/");
    EXPECT_EQ(preview::routeOf("http://localhost:3000/caf%C3%A9/x?q=1#f"), "/café/x");
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
