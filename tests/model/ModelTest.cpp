#include "model/AgentBootstrapPlan.h"
#include "model/AgentMessage.h"
#include "model/AgentRuntime.h"
#include "model/PackageManager.h"
#include "model/ProjectContext.h"
#include "model/ServerRuntimeState.h"
#include "model/SupportedStack.h"

#include <gtest/gtest.h>
#include <unordered_set>

using namespace tarn;

TEST(Model, RawValuesMatchExactlyAndRoundTripThroughJson) {
    EXPECT_EQ(fromRawValue<SupportedStack>("Next.js"), SupportedStack::nextJS);
    EXPECT_FALSE(fromRawValue<SupportedStack>("next.js"));
    EXPECT_EQ(rawValueOf(SupportedStack::viteReact), "Vite + React");
    EXPECT_EQ(fromRawValue<AgentRuntime>("claudeCode"), AgentRuntime::claudeCode);

    json::Json encoded = {SupportedStack::react, PackageManager::bun, AgentRuntime::codex};
    EXPECT_EQ(encoded.dump(), R"(["React","bun","codex"])");
    EXPECT_EQ(encoded[1].get<PackageManager>(), PackageManager::bun);
    EXPECT_THROW(json::Json("Unknown ").get<SupportedStack>(), json::Json::exception);
    EXPECT_THROW(json::Json(3).get<PackageManager>(), json::Json::exception);
}

TEST(Model, CaseListsAndRuntimeNames) {
    EXPECT_EQ(allPackageManagers().front(), PackageManager::npm);
    EXPECT_EQ(allPackageManagers().back(), PackageManager::bun);
    EXPECT_EQ(id(AgentRuntime::codex), "codex");
    EXPECT_EQ(displayName(AgentRuntime::codex), "Codex");
    EXPECT_EQ(displayName(AgentRuntime::claudeCode), "Claude Code");
    std::unordered_set<PackageManager> set(allPackageManagers().begin(), allPackageManagers().end());
    EXPECT_EQ(set.size(), 4u);
}

TEST(Model, EqualityComparesEveryField) {
    EXPECT_NE(ServerRuntimeState::failed("a"), ServerRuntimeState::failed("b"));
    EXPECT_EQ(ServerRuntimeState::failed("a"), ServerRuntimeState::failed("a"));
    EXPECT_NE(ServerRuntimeState::failed(""), ServerRuntimeState::stopped());

    AgentMessage m(AgentRole::assistant, "Working on it now.");
    AgentMessage thinking = m;
    thinking.isThinking = true;
    EXPECT_NE(m, thinking);
    AgentMessage other(AgentRole::assistant, "Working on it now.");
    other.timestamp = m.timestamp;
    EXPECT_NE(m, other);  // different ids

    auto url = *Url::parse("http://localhost:3000");
    ProjectContext a{Url::fileURL("/p"), SupportedStack::react, PackageManager::npm, "npm install", "npm run dev", url,
                     "Lockfile", {}, {PackageManager::npm}, std::nullopt};
    ProjectContext b = a;
    EXPECT_EQ(a, b);
    b.instructionsFileURL = Url::fileURL("/p/.tarn/instructions.md");
    EXPECT_NE(a, b);

    AgentBootstrapPlan p{"npm install", "npm run dev", "why", {}, "Local fallback"};
    AgentBootstrapPlan q = p;
    q.alternatives.push_back("pnpm dev");
    EXPECT_NE(p, q);
}
