#include "TestSupport.h"
#include "support/Files.h"
#include "support/PlatformError.h"

#include <atomic>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using namespace tarn;
using tarn::test::TempDir;

namespace {

std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(folder)) {
        auto name = entry.path().filename().string();
        if (name.find(".tarn-") != std::string::npos) names.push_back(name);
    }
    return names;
}

}  // namespace

TEST(AtomicWrite, KeepsModeAndFollowsLinks) {
    TempDir dir;
    auto script = dir / "run.sh";
    test::writeFile(script, "old");
    chmod(script.c_str(), 0750);
    files::writeAtomically(script, "new text");
    EXPECT_EQ(test::readFile(script), "new text");
    struct stat st {};
    stat(script.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0750u);

    // A link (through a relative chain) stays a link and its target gets the text.
    fs::create_directories(dir / "real");
    test::writeFile(dir / "real" / "page.tsx", "before");
    fs::create_symlink("real/page.tsx", dir / "hop");
    fs::create_symlink("hop", dir / "link.tsx");
    files::writeAtomically(dir / "link.tsx", "after");
    EXPECT_TRUE(fs::is_symlink(dir / "link.tsx"));
    EXPECT_EQ(fs::read_symlink(dir / "link.tsx"), "hop");
    EXPECT_EQ(test::readFile(dir / "real" / "page.tsx"), "after");

    // A new file gets the ordinary mode, and nothing is left behind.
    files::writeAtomically(dir / "fresh.md", "");
    EXPECT_TRUE(fs::exists(dir / "fresh.md"));
    EXPECT_TRUE(leftovers(dir.path()).empty());
    EXPECT_TRUE(leftovers(dir / "real").empty());
}

TEST(AtomicWrite, FailureLeavesOriginalAndNoTemporaryFile) {
    TempDir dir;
    fs::create_directories(dir / "folder");
    EXPECT_THROW(files::writeAtomically(dir / "folder", "x"), PlatformError);
    EXPECT_THROW(files::writeAtomically(dir / "missing" / "a.txt", "x"), PlatformError);

    // A write that runs out of room (a file size limit stands in for a full disk): the original
    // stays as it was and the temporary file is removed.
    test::writeFile(dir / "keep.txt", "original");
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit tiny = old;
    tiny.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &tiny);
    EXPECT_THROW(files::writeAtomically(dir / "keep.txt", std::string(8192, 'x')), PlatformError);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(leftovers(dir.path()).empty());
    EXPECT_EQ(test::readFile(dir / "keep.txt"), "original");
}

TEST(AtomicWrite, ReadersNeverSeeHalfAFile) {
    TempDir dir;
    auto path = dir / "big.txt";
    const std::string a(1 << 20, 'a'), b(1 << 20, 'b');
    files::writeAtomically(path, a);
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done) {
            std::string seen = test::readFile(path);
            if (seen != a && seen != b) ++torn;
        }
    });
    for (int i = 0; i < 40; ++i) files::writeAtomically(path, i % 2 ? a : b);
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

TEST(Files, ReadReportsSystemErrorsAndSizeLimit) {
    TempDir dir;
    test::writeFile(dir / "f", std::string(100, 'x'));
    EXPECT_EQ(files::readFile(dir / "f").size(), 100u);
    EXPECT_THROW(files::readFile(dir / "f", 10), PlatformError);
    EXPECT_THROW(files::readFile(dir / "nope"), PlatformError);
    try {
        files::readFile(dir.path());
        FAIL();
    } catch (const PlatformError& e) {
        EXPECT_NE(std::string(e.what()).find("Is a directory"), std::string::npos);
    }
    test::writeFile(dir / "file", "");
    EXPECT_THROW(files::createDirectories(dir / "file" / "sub"), PlatformError);
}
