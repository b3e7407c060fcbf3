#pragma once
#include "model/Checkpoint.h"
#include "support/Published.h"
#include "support/PublishedList.h"
#include "support/Task.h"
#include "support/Url.h"
#include "versions/CheckpointStore.h"
#include "workspace/Browser.h"
#include "workspace/Chat.h"
#include "workspace/Owner.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// The project's checkpoints: the working tree recorded around every change, the replies' Undo,
// Redo and review, and the history the user can restore from. The records are made off the main
// thread; nothing here writes to the project's own repository.
class ProjectHistory {
public:
    ProjectHistory(const Owner& owner, Chat& chat, Browser& browser, std::filesystem::path storesFolder)
        : owner_(owner), chat_(chat), browser_(browser), storesFolder_(std::move(storesFolder)) {}

    // Newest first, as last listed.
    PublishedList<Checkpoint> checkpoints;
    // The reply being reviewed, while the review is shown.
    Published<std::optional<ChangeReview>> review;

    // The project whose history this is from now on.
    void use(Url root);
    // Makes the project's first record in the background (it reads every file; later ones only
    // what changed), removes checkpoints past their time, and lists the rest.
    Task<void> prepare();
    // Records the working tree; throws CheckpointError (also without a project).
    Task<Checkpoint> record(std::string label, std::optional<std::string> since = std::nullopt);
    Task<std::vector<FileChange>> changes(std::string from, std::string to);

    // Brings the files a reply changed back to before it (or, redoing, to after it). Files
    // changed since are left as they are and named.
    Task<void> undo(Uuid reply) { return turn(reply, true); }
    Task<void> redo(Uuid reply) { return turn(reply, false); }
    Task<void> showReview(Uuid reply);
    void closeReview() { review = std::nullopt; }
    Task<void> refresh();
    // The whole working tree as it was at the checkpoint, after the present is recorded.
    Task<void> restore(std::string id);

    static constexpr std::size_t reviewLimit = 100;  // files shown in one review

private:
    Task<std::shared_ptr<CheckpointStore>> store();
    Task<void> turn(Uuid reply, bool undo);
    const AgentMessage* find(const Uuid& reply) const;

    const Owner& owner_;
    Chat& chat_;
    Browser& browser_;
    std::filesystem::path storesFolder_;
    std::optional<Url> root_;
    std::shared_ptr<CheckpointStore> store_;
};

}  // namespace tarn
