#pragma once
#include "model/VersionItem.h"
#include "support/Published.h"
#include "support/PublishedList.h"
#include "support/Task.h"
#include "support/Url.h"
#include "versions/GitVersionService.h"
#include "workspace/Browser.h"
#include "workspace/Chat.h"
#include "workspace/Owner.h"
#include "workspace/ProjectHistory.h"
#include "workspace/ServerSession.h"

#include <optional>
#include <string>
#include <vector>

namespace tarn {

// The project's versions (its git branches): listed, created from the present state, switched to.
// Each operation works on the project folder it is given, or does nothing without one.
class ProjectVersions {
public:
    ProjectVersions(const Owner& owner, Chat& chat, ServerSession& server, Browser& browser, ProjectHistory& history)
        : owner_(owner), chat_(chat), server_(server), browser_(browser), history_(history) {}

    PublishedList<VersionItem> versions;
    Published<std::string> newVersionName;

    Task<void> refresh(std::optional<Url> root);
    Task<void> create(std::optional<Url> root);
    // The working tree is recorded first: whatever the switch carries along or replaces can be
    // restored from the history.
    Task<void> switchTo(std::string name, std::optional<Url> root);

private:
    const Owner& owner_;
    Chat& chat_;
    ServerSession& server_;
    Browser& browser_;
    ProjectHistory& history_;
    GitVersionService git_;
};

}  // namespace tarn
