#include "TestSupport.h"
#include "workspace/PreviewFollower.h"

#include <gtest/gtest.h>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

class Follow : public ::testing::Test {
protected:
    Published<PreviewNotice> notice{PreviewNotice::none};
    int loads = 0;
    PreviewFollower follower{notice, [this] { ++loads; }};

    void ended(const std::string& address, PreviewLoad::Outcome outcome) { follower.loadEnded(PreviewLoad{address, outcome}); }
    // Waits for the preview to be asked to load again.
    bool retried(int before) { return runLoopUntil([&] { return loads > before; }, 20s); }
};

}  // namespace

TEST_F(Follow, WhileTheServerStartsNothingAnsweringIsTriedAgainUntilThePageShows) {
    follower.expectServer(true);
    ended("http://localhost:3000/", PreviewLoad::Outcome::nothingAnswers);
    EXPECT_EQ(*notice, PreviewNotice::waitingForServer);
    EXPECT_EQ(loads, 0) << "not at once: the next try waits a little";
    ASSERT_TRUE(retried(0));
    ended("http://localhost:3000/", PreviewLoad::Outcome::nothingAnswers);
    ASSERT_TRUE(retried(1));
    ended("http://localhost:3000/", PreviewLoad::Outcome::shown);
    EXPECT_EQ(*notice, PreviewNotice::none);
    // The server saying where it is changes nothing once the page shows there.
    follower.addressAnnounced(*Url::parse("http://localhost:3000"));
    EXPECT_EQ(loads, 2);
    // Another address is loaded at once.
    follower.addressAnnounced(*Url::parse("http://localhost:3001/"));
    EXPECT_EQ(loads, 3);
    // A failure after the server answered is the page's to show: no notice, no retry.
    ended("http://localhost:3001/", PreviewLoad::Outcome::failed);
    EXPECT_EQ(*notice, PreviewNotice::none);
    EXPECT_FALSE(runLoopUntil([&] { return loads > 3; }, 600ms));
}

TEST_F(Follow, AnAnnouncedAddressLoadsEvenWhenItIsTheOneTried) {
    // Next.js names the address it was opened at: the page must still come once it is there.
    follower.expectServer(true);
    ended("http://localhost:3000/", PreviewLoad::Outcome::nothingAnswers);
    follower.addressAnnounced(*Url::parse("http://localhost:3000"));
    EXPECT_EQ(loads, 1);
}

TEST_F(Follow, AServerThatEndsTurnsWaitingIntoNotRunningAndAStartTriesAgain) {
    follower.expectServer(true);
    ended("http://localhost:3000/", PreviewLoad::Outcome::nothingAnswers);
    follower.expectServer(false);
    EXPECT_EQ(*notice, PreviewNotice::serverNotRunning);
    EXPECT_FALSE(runLoopUntil([&] { return loads > 0; }, 600ms)) << "no retries without a server";
    // Nothing answering with no server expected says so at once.
    notice = PreviewNotice::none;
    ended("http://localhost:3000/", PreviewLoad::Outcome::nothingAnswers);
    EXPECT_EQ(*notice, PreviewNotice::serverNotRunning);
    follower.expectServer(true);
    EXPECT_EQ(*notice, PreviewNotice::waitingForServer);
    EXPECT_EQ(loads, 1);
}

TEST(PreviewFollowerAddresses, SameAddress) {
    EXPECT_TRUE(PreviewFollower::sameAddress("http://localhost:3000", "http://localhost:3000/"));
    EXPECT_TRUE(PreviewFollower::sameAddress("http://localhost:3000?a=1", "http://localhost:3000/?a=1"));
    EXPECT_FALSE(PreviewFollower::sameAddress("http://localhost:3000/", "http://localhost:3001/"));
    EXPECT_FALSE(PreviewFollower::sameAddress("http://localhost:3000/a", "http://localhost:3000/"));
}
