#include "TestSupport.h"
#include "versions/GitVersionService.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace tarn;
using namespace tarn::test;

namespace {

class Versions : public ::testing::Test {
protected:
    TempDir dir{"tarn versions ü-"};
    GitVersionService service;

    void git(const std::string& command) {
        std::string line = "cd '" + dir.path().string() + "' && git " + command + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(line.c_str()), 0) << command;
    }
    void initRepository() {
        git("init -q -b main .");
        git("config user.email t@example.com");
        git("config user.name T");
        writeFile(dir / "a.txt", "one\n");
        git("add -A");
        git("commit -qm init");
    }
    Url root() const { return Url::forFile(dir.path().string()); }
    std::vector<VersionItem> list() { return runTask(service.listVersions(root())); }
    std::string failure(Task<void> task) {
        try {
            runTask(std::move(task));
        } catch (const GitVersionError& e) {
            return e.what();
        }
        return "no error";
    }
};

std::vector<std::pair<std::string, bool>> summary(const std::vector<VersionItem>& items) {
    std::vector<std::pair<std::string, bool>> out;
    for (auto& i : items) out.emplace_back(i.name, i.isCurrent);
    return out;
}

}  // namespace

TEST(VersionNames, OnlyLettersDigitsDashesUnderscoresAndSlashes) {
    for (const char* ok : {"feature/login", "fix_2", "A-b"}) EXPECT_TRUE(GitVersionService::isValidVersionName(ok)) << ok;
    for (const char* bad : {"my version", "release.2", "naïve", "", "a\nb"}) {
        EXPECT_FALSE(GitVersionService::isValidVersionName(bad)) << bad;
    }
    EXPECT_EQ(GitVersionService::branchNames("\n  main  \n\n Feature\r\n\tdev\n"),
              (std::vector<std::string>{"Feature", "dev", "main"}));
}

TEST_F(Versions, OutsideARepositoryEveryOperationSaysSo) {
    const std::string expected = "This folder is not a git repository.";
    try {
        list();
        FAIL();
    } catch (const GitVersionError& e) {
        EXPECT_EQ(e.what(), expected);
    }
    EXPECT_EQ(failure(service.createVersion("bad name", root())), expected);
    EXPECT_EQ(failure(service.switchVersion("main", root())), expected);
}

TEST_F(Versions, ListsCreatesAndSwitches) {
    initRepository();
    git("branch Feature");
    git("branch dev");
    auto first = list();
    EXPECT_EQ(summary(first), (std::vector<std::pair<std::string, bool>>{{"Feature", false}, {"dev", false}, {"main", true}}));
    auto second = list();
    EXPECT_NE(first[0].id, second[0].id);

    runTask(service.createVersion("feature/login", root()));
    EXPECT_EQ(summary(list()).back(), (std::pair<std::string, bool>{"main", false}));
    EXPECT_TRUE(summary(list())[2].second);  // Feature, dev, feature/login, main
    EXPECT_EQ(list()[2].name, "feature/login");

    EXPECT_EQ(failure(service.createVersion("release.2", root())),
              "Version name can only include letters, numbers, dashes, underscores, and slashes.");
    EXPECT_NE(failure(service.createVersion("dev", root())).find("already exists"), std::string::npos);
    EXPECT_NE(failure(service.switchVersion("nowhere", root())).find("nowhere"), std::string::npos);

    runTask(service.switchVersion("dev", root()));
    EXPECT_EQ(summary(list())[1], (std::pair<std::string, bool>{"dev", true}));
}

TEST_F(Versions, DirtyTreeAndDetachedHead) {
    initRepository();
    git("checkout -q -b other");
    writeFile(dir / "a.txt", "two\n");
    git("commit -qam change");
    writeFile(dir / "a.txt", "uncommitted\n");
    // git refuses to switch and says why in its own words; the change stays.
    EXPECT_NE(failure(service.switchVersion("main", root())).find("would be overwritten"), std::string::npos);
    EXPECT_EQ(readFile(dir / "a.txt"), "uncommitted\n");

    git("checkout -q -- a.txt");
    git("checkout -q --detach HEAD");
    for (auto& item : list()) EXPECT_FALSE(item.isCurrent) << item.name;
}
