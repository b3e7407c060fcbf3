#include "TestSupport.h"
#include "support/StallProbe.h"
#include "support/Task.h"

#include <gtest/gtest.h>
#include <thread>

using namespace tarn;
using namespace std::chrono_literals;

namespace {

Task<int> answer() { co_return 42; }
Task<int> failing() {
    throw std::runtime_error("boom");
    co_return 0;
}
Task<int> chained() {
    auto inner = answer();
    co_return (co_await inner) + 1;
}

}  // namespace

TEST(Task, ValuesAndErrorsReachTheAwaiter) {
    EXPECT_EQ(test::runTask(chained()), 43);
    try {
        test::runTask(failing());
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "boom");
    }
}

TEST(Task, SpawnAndPostRunLaterInOrder) {
    std::vector<int> order;
    postToMain([&] { order.push_back(1); });
    spawn([](std::vector<int>& o) -> Task<void> {
        o.push_back(2);
        co_return;
    }(order));
    postToMain([&] { order.push_back(3); });
    order.push_back(0);  // the work in progress comes first
    ASSERT_TRUE(test::runLoopUntil([&] { return order.size() == 4; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
}

TEST(Task, SpawnedTaskKeepsItsArgumentsAndReportsEscapingErrors) {
    std::string reported;
    setUncaughtErrorHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            reported = ex.what();
        }
    });
    auto shared = std::make_shared<int>(7);
    std::weak_ptr<int> watch = shared;
    int seen = 0;
    spawn([](std::shared_ptr<int> value, int& out) -> Task<void> {
        co_await sleepFor(10ms);
        out = *value;
        throw std::runtime_error("escaped");
    }(std::move(shared), seen));
    EXPECT_FALSE(watch.expired());
    ASSERT_TRUE(test::runLoopUntil([&] { return !reported.empty(); }));
    EXPECT_EQ(seen, 7);
    EXPECT_EQ(reported, "escaped");
    EXPECT_TRUE(watch.expired());
    setUncaughtErrorHandler(nullptr);
}

TEST(Task, SleepCancelsAndBackgroundWorkResumesOnMainThread) {
    Cancellation cancel;
    postToMain([cancel] { cancel.cancel(); });
    EXPECT_THROW(test::runTask([](Cancellation c) -> Task<void> { co_await sleepFor(60s, c); }(cancel)), CancellationError);

    auto mainThread = std::this_thread::get_id();
    auto result = test::runTask([]() -> Task<std::pair<std::thread::id, std::thread::id>> {
        auto worker = co_await inBackground([] { return std::this_thread::get_id(); });
        co_return std::make_pair(worker, std::this_thread::get_id());
    }());
    EXPECT_NE(result.first, mainThread);
    EXPECT_EQ(result.second, mainThread);
    EXPECT_THROW(test::runTask([]() -> Task<void> {
                     co_await inBackground([] { throw std::logic_error("worker failed"); });
                 }()),
                 std::logic_error);
}

TEST(Task, TheStallProbeSeesABlockingStepAndWorkPostedWhenIdleRunsLast) {
    StallProbe probe;
    // A step that holds the main thread for 120 ms: the probe's longest gap is at least that
    // (less its own tick), however slow the machine.
    bool blocked = false;
    postToMain([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        blocked = true;
    });
    ASSERT_TRUE(test::runLoopUntil([&] { return blocked && probe.longest() >= std::chrono::milliseconds(110); }));

    // Posted when idle: after everything posted the usual way, whenever it was posted.
    std::vector<int> order;
    postWhenIdle([&] { order.push_back(2); });
    postToMain([&] { order.push_back(1); });
    ASSERT_TRUE(test::runLoopUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}
