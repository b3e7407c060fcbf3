#include "workspace/ProjectVersions.h"
#include "support/Translate.h"

#include "support/Text.h"

namespace tarn {

namespace {
// A listing makes new ids; a version is its name and whether it is checked out.
bool sameVersion(const VersionItem& a, const VersionItem& b) { return a.name == b.name && a.isCurrent == b.isCurrent; }
}  // namespace

Task<void> ProjectVersions::refresh(std::optional<Url> root) {
    if (!root) {
        versions.assign({}, sameVersion);
        co_return;
    }
    auto keep = owner_.hold();
    std::optional<std::string> failure;
    try {
        versions.assign(co_await git_.listVersions(*root), sameVersion);
        co_return;
    } catch (const std::exception& e) {
        failure = e.what();
    }
    versions.assign({}, sameVersion);
    // A folder without git is no failure of the user's: the server log says so, not the chat.
    server_.log(tr::format(_("Version list unavailable: %1"), {*failure}));
}

Task<void> ProjectVersions::create(std::optional<Url> root) {
    const std::string name = text::trim(*newVersionName);
    if (!root || name.empty()) co_return;
    auto keep = owner_.hold();
    std::optional<std::string> failure;
    try {
        co_await git_.createVersion(name, *root);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (failure) {
        chat_.appendSystemMessage(tr::format(_("Could not create Version: %1"), {*failure}));
        co_return;
    }
    newVersionName = "";
    co_await refresh(root);
    chat_.notify(tr::format(_("Created Version '%1'."), {name}));
}

Task<void> ProjectVersions::switchTo(std::string name, std::optional<Url> root) {
    if (!root) co_return;
    auto keep = owner_.hold();
    std::optional<std::string> failure;
    try {
        co_await history_.record(tr::format(_("Before switching to Version “%1”"), {name}));
        co_await git_.switchVersion(name, *root);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (failure) {
        chat_.appendSystemMessage(tr::format(_("Could not switch Version: %1"), {*failure}));
        co_return;
    }
    co_await refresh(root);
    browser_.reload();
    chat_.appendSystemMessage(tr::format(_("Switched to Version '%1'."), {name}));
    co_await history_.refresh();
}

}  // namespace tarn
