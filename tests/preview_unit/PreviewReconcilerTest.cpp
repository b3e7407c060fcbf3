#include "preview/PreviewReconciler.h"

#include <gtest/gtest.h>

using namespace tarn;

namespace {

// Records what the reconciliation asks of the engine.
struct RecordingEngine : PreviewEngine {
    std::vector<std::string> calls;
    std::optional<std::string> current;
    void load(const Url& url) override {
        calls.push_back("load " + url.string());
        current = url.string();
    }
    void reload() override { calls.push_back("reload"); }
    std::optional<std::string> currentURL() const override { return current; }
    void evaluate(const std::string& script) override { calls.push_back(script.substr(0, script.find(" &&"))); }
    std::vector<std::string> take() { return std::exchange(calls, {}); }
};

const std::vector<std::string> kBridgeCalls{"window.__tarnSetInspectMode", "window.__tarnSyncSelections"};

std::vector<std::string> with(std::vector<std::string> calls) {
    calls.insert(calls.end(), kBridgeCalls.begin(), kBridgeCalls.end());
    return calls;
}

}  // namespace

TEST(PreviewReconciler, TokensAndAddressesLoadExactlyOnce) {
    RecordingEngine engine;
    PreviewLoadState state;
    AppWebView value;
    value.url = Url::parse("http://localhost:3000");
    state.lastLoadedURL = value.url;  // as the view's making left it
    engine.current = value.url->string();

    // The first update takes both tokens as new.
    preview::reconcile(state, value, engine);
    EXPECT_EQ(engine.take(), with({"load http://localhost:3000", "reload"}));

    value.inspectModeEnabled = true;
    preview::reconcile(state, value, engine);
    EXPECT_EQ(engine.take(), with({}));

    value.loadAddressToken = Uuid();
    preview::reconcile(state, value, engine);
    EXPECT_EQ(engine.take(), with({"load http://localhost:3000"}));

    value.url = Url::parse("http://localhost:3000/");
    preview::reconcile(state, value, engine);
    EXPECT_EQ(engine.take(), with({"load http://localhost:3000/"}));

    value.reloadToken = Uuid();
    preview::reconcile(state, value, engine);
    EXPECT_EQ(engine.take(), with({"reload"}));
}

TEST(PreviewReconciler, WithoutAnAddressTokensWait) {
    RecordingEngine engine;
    PreviewLoadState state;
    AppWebView value;
    preview::reconcile(state, value, engine);
    EXPECT_EQ(engine.take(), with({}));  // reload token consumed, load token kept

    value.reloadToken = Uuid();
    preview::reconcile(state, value, engine);
    EXPECT_EQ(engine.take(), with({}));

    value.url = Url::parse("http://127.0.0.1:5173");
    preview::reconcile(state, value, engine);
    EXPECT_EQ(engine.take(), with({"load http://127.0.0.1:5173"}));
    preview::reconcile(state, value, engine);
    EXPECT_EQ(engine.take(), with({}));

    // A page reload with no page yet loads the address instead.
    RecordingEngine blank;
    PreviewLoadState fresh;
    fresh.lastLoadAddressToken = value.loadAddressToken;
    preview::reconcile(fresh, value, blank);
    EXPECT_EQ(blank.take(), with({"load http://127.0.0.1:5173"}));
}

TEST(PreviewReconciler, BridgeCallsAndMessages) {
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
