#include "versions/GitVersionService.h"

#include "process/ShellCommandRunner.h"
#include "support/Regex.h"
#include "support/Text.h"

#include <algorithm>

namespace tarn {

namespace {

Task<ShellCommandOutput> git(std::vector<std::string> arguments, Url folder) {
    auto run = ShellCommandRunner::run(std::string("/usr/bin/git"), std::move(arguments), std::move(folder));
    co_return co_await run;
}

Task<void> requireRepository(Url folder) {
    bool inside = true;
    try {
        auto check = git({"rev-parse", "--is-inside-work-tree"}, folder);
        co_await check;
    } catch (const std::exception&) {
        inside = false;
    }
    if (!inside) throw GitVersionError::missingRepository();
}

Task<void> checkout(std::vector<std::string> arguments, Url folder) {
    try {
        auto run = git(std::move(arguments), std::move(folder));
        co_await run;
    } catch (const ShellCommandError& e) {
        throw GitVersionError::commandFailed(e.what());
    }
}

}  // namespace

bool GitVersionService::isValidVersionName(const std::string& name) {
    static const auto rule = Regex::compile(R"(^[A-Za-z0-9_\-/]+$)");
    return rule->matchesWhole(name);
}

std::vector<std::string> GitVersionService::branchNames(const std::string& output) {
    std::vector<std::string> names;
    for (const auto& line : text::splitLines(output)) {
        std::string name = text::trim(line);
        if (!name.empty()) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());  // byte order is code point order for UTF-8
    return names;
}

Task<std::vector<VersionItem>> GitVersionService::listVersions(Url projectRoot) const {
    auto check = requireRepository(projectRoot);
    co_await check;
    auto head = git({"rev-parse", "--abbrev-ref", "HEAD"}, projectRoot);
    const std::string current = text::trim((co_await head).stdout);
    auto branches = git({"branch", "--list", "--format=%(refname:short)"}, projectRoot);
    const ShellCommandOutput listing = co_await branches;

    std::vector<VersionItem> items;
    for (auto& name : branchNames(listing.stdout)) items.push_back(VersionItem{Uuid(), name, name == current});
    co_return items;
}

Task<void> GitVersionService::createVersion(std::string name, Url projectRoot) const {
    auto check = requireRepository(projectRoot);
    co_await check;
    if (!isValidVersionName(name)) throw GitVersionError::invalidVersionName();
    auto run = checkout({"checkout", "-b", name}, projectRoot);
    co_await run;
}

Task<void> GitVersionService::switchVersion(std::string name, Url projectRoot) const {
    auto check = requireRepository(projectRoot);
    co_await check;
    auto run = checkout({"checkout", name}, projectRoot);
    co_await run;
}

}  // namespace tarn
