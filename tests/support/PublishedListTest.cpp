#include "support/PublishedList.h"

#include <gtest/gtest.h>
#include <string>

using namespace tarn;

namespace {
using Change = PublishedList<std::string>::Change;

// The list a view would hold, kept by applying each announced change to a copy.
struct Follower {
    std::vector<std::string> rows;
    std::vector<Change> changes;
    explicit Follower(PublishedList<std::string>& list) {
        list.observeChanges([this, &list](const Change& c) {
            changes.push_back(c);
            const auto at = rows.begin() + static_cast<std::ptrdiff_t>(c.position);
            if (c.kind == Change::Kind::removed) rows.erase(at, at + static_cast<std::ptrdiff_t>(c.count));
            if (c.kind == Change::Kind::inserted) rows.insert(at, list->begin() + static_cast<std::ptrdiff_t>(c.position),
                                                              list->begin() + static_cast<std::ptrdiff_t>(c.position + c.count));
        });
    }
};
}  // namespace

// A list read again from disk announces only what differs, and a view that applies the
// announcements ends up with the same rows.
TEST(PublishedList, AssignAnnouncesOnlyWhatDiffers) {
    PublishedList<std::string> list;
    Follower view(list);
    list.assign({"b", "c", "d"});
    list.assign({"a", "b", "c", "d"});  // a new checkpoint at the top
    ASSERT_EQ(view.changes.size(), 2u);
    EXPECT_EQ(view.changes[1].kind, Change::Kind::inserted);
    EXPECT_EQ(view.changes[1].position, 0u);
    EXPECT_EQ(view.changes[1].count, 1u);
    list.assign({"a", "b", "c", "d"});  // nothing new: nothing said
    EXPECT_EQ(view.changes.size(), 2u);
    list.assign({"a", "x", "y", "d"});  // two changed in the middle
    EXPECT_EQ(view.changes.size(), 4u);
    EXPECT_EQ(view.changes[2].kind, Change::Kind::removed);
    EXPECT_EQ(view.changes[2].position, 1u);
    EXPECT_EQ(view.changes[2].count, 2u);
    list.assign({"a", "a", "a"});  // repeated items on both ends
    list.assign({});
    EXPECT_TRUE(view.rows.empty());
    list.assign({"z", "a"});
    EXPECT_EQ(view.rows, *list);
    // Items that are the same by the caller's measure stay.
    list.assign({"Z", "A"}, [](const std::string& a, const std::string& b) { return std::tolower(a[0]) == std::tolower(b[0]); });
    EXPECT_EQ(view.changes.size(), 8u);
    EXPECT_EQ(view.rows, (std::vector<std::string>{"z", "a"}));
}
