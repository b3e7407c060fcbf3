#include "TestSupport.h"
#include "process/ProcessEnvironment.h"

#include <gtest/gtest.h>

using namespace tarn;
using namespace tarn::test;
namespace PE = tarn::ProcessEnvironment;

namespace {
const std::vector<std::string> kSystem{"/opt/homebrew/bin", "/usr/local/bin", "/usr/bin", "/bin", "/usr/sbin", "/sbin"};
}

TEST(ProcessEnvironment, AugmentedPathKeepsInheritedOrderAndDropsDuplicates) {
    PE::ScopedToolFolders folders("/Users/a", kSystem, {});
    {
        ScopedEnv path("PATH", "/usr/bin:/bin:/usr/sbin:/sbin");
        EXPECT_EQ(PE::augmentedEnvironment()["PATH"],
                  "/usr/bin:/bin:/usr/sbin:/sbin:/Users/a/.local/bin:/Users/a/bin:/Users/a/.npm-global/bin:"
                  "/Users/a/.volta/bin:/Users/a/.cargo/bin:/opt/homebrew/bin:/usr/local/bin");
    }
    {
        ScopedEnv path("PATH", "::/x:/opt/homebrew/bin::/usr/local/bin/:");
        EXPECT_EQ(PE::augmentedEnvironment()["PATH"],
                  "/x:/opt/homebrew/bin:/usr/local/bin/:/Users/a/.local/bin:/Users/a/bin:/Users/a/.npm-global/bin:"
                  "/Users/a/.volta/bin:/Users/a/.cargo/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin");
    }
    {
        ScopedEnv path("PATH", std::nullopt);
        ScopedEnv other("TARN_PROBE", "kept");
        auto env = PE::augmentedEnvironment();
        EXPECT_EQ(env["PATH"], "/Users/a/.local/bin:/Users/a/bin:/Users/a/.npm-global/bin:/Users/a/.volta/bin:"
                               "/Users/a/.cargo/bin:/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin");
        EXPECT_EQ(env["TARN_PROBE"], "kept");
    }
}

TEST(ProcessEnvironment, ResolvesThroughPathThenFallbacksThenWhich) {
    TempDir dir;
    writeScript(dir / "early" / "tool", "exit 0\n");
    writeScript(dir / "late" / "tool", "exit 0\n");
    writeFile(dir / "skip" / "tool", "not executable");
    writeScript(dir / "fallback" / "other", "exit 0\n");
    PE::ScopedToolFolders folders((dir / "home").string(), {(dir / "late").string()}, {});
    ScopedEnv path("PATH", (dir / "skip").string() + ":" + (dir / "early").string());

    EXPECT_EQ(PE::resolveExecutable("tool", {}), (dir / "early" / "tool").string());
    EXPECT_EQ(PE::resolveExecutable("other", {(dir / "nope").string(), (dir / "fallback" / "other").string()}),
              (dir / "fallback" / "other").string());
    EXPECT_EQ(PE::resolveExecutable("definitely-not-a-tool-xyz", {}), std::nullopt);
}

TEST(ProcessEnvironment, CaptureReportsStatusAndText) {
    auto env = PE::augmentedEnvironment();
    EXPECT_EQ(PE::captureOutput("/bin/sh", {"-c", "printf 'a\\n'"}, env), "a\n");
    try {
        PE::captureOutput("/bin/sh", {"-c", "printf 'only stdout\\n'; exit 2"}, env);
        FAIL();
    } catch (const ProcessEnvironmentError& e) {
        EXPECT_EQ(e.code(), 2);
        EXPECT_STREQ(e.what(), "only stdout\n");
    }
    try {
        PE::captureOutput("/bin/sh", {"-c", "echo out; echo err >&2; exit 1"}, env);
        FAIL();
    } catch (const ProcessEnvironmentError& e) {
        EXPECT_STREQ(e.what(), "err\n");
    }
    EXPECT_THROW(PE::captureOutput("/no/such/program", {}, env), PlatformError);
}
