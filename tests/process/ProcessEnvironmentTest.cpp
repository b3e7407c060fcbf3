#include "TestSupport.h"
#include "process/ProcessEnvironment.h"
#include "support/Text.h"

#include <gtest/gtest.h>

using namespace tarn;
using namespace tarn::test;
namespace PE = tarn::ProcessEnvironment;

namespace {
const std::vector<std::string> kSystem{"/usr/local/bin", "/usr/bin", "/bin", "/usr/sbin", "/sbin"};
const std::string kHome = "/home/a/.local/bin:/home/a/bin:/home/a/.npm-global/bin:/home/a/.volta/bin:/home/a/.bun/bin:"
                          "/home/a/.local/share/pnpm:/home/a/.local/share/fnm/aliases/default/bin:/home/a/.asdf/shims:"
                          "/home/a/.local/share/mise/shims:/home/a/.cargo/bin";
}

TEST(ProcessEnvironment, AugmentedPathKeepsInheritedOrderAndDropsDuplicates) {
    PE::ScopedToolFolders folders("/home/a", kSystem, {});
    {
        ScopedEnv path("PATH", "/usr/bin:/bin:/usr/sbin:/sbin");
        EXPECT_EQ(PE::augmentedEnvironment()["PATH"], "/usr/bin:/bin:/usr/sbin:/sbin:" + kHome + ":/usr/local/bin");
    }
    {
        ScopedEnv path("PATH", "::/x:/snap/bin::/usr/local/bin/:");
        EXPECT_EQ(PE::augmentedEnvironment()["PATH"],
                  "/x:/snap/bin:/usr/local/bin/:" + kHome + ":/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin");
    }
    {
        ScopedEnv path("PATH", std::nullopt);
        ScopedEnv other("TARN_PROBE", "kept");
        auto env = PE::augmentedEnvironment();
        EXPECT_EQ(env["PATH"], kHome + ":/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin");
        EXPECT_EQ(env["TARN_PROBE"], "kept");
    }
}

TEST(ProcessEnvironment, FindsTheNodeThatNvmNames) {
    TempDir home;
    PE::ScopedToolFolders folders(home.path().string(), {}, {});
    ScopedEnv path("PATH", "/usr/bin");
    auto nvmFolder = [&] {
        for (const auto& dir : text::split(PE::augmentedEnvironment()["PATH"], ':', true)) {
            if (text::contains(dir, "/.nvm/")) return dir.substr(home.path().string().size());
        }
        return std::string("none");
    };
    EXPECT_EQ(nvmFolder(), "none");
    for (const char* version : {"v18.20.1", "v20.9.0", "v20.11.1", "v22.1.0", "system"}) {
        std::filesystem::create_directories(home / ".nvm" / "versions" / "node" / version / "bin");
    }
    EXPECT_EQ(nvmFolder(), "/.nvm/versions/node/v22.1.0/bin");  // no default: the newest
    writeFile(home / ".nvm" / "alias" / "default", "20\n");
    EXPECT_EQ(nvmFolder(), "/.nvm/versions/node/v20.11.1/bin");
    writeFile(home / ".nvm" / "alias" / "default", "v20.9.0");
    EXPECT_EQ(nvmFolder(), "/.nvm/versions/node/v20.9.0/bin");
    writeFile(home / ".nvm" / "alias" / "default", "lts/*");
    EXPECT_EQ(nvmFolder(), "/.nvm/versions/node/v22.1.0/bin");
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
