#include "workspace/ProjectHistory.h"

#include "support/Text.h"
#include "support/Translate.h"

#include <algorithm>

namespace tarn {

namespace {

std::string namesOf(const std::vector<std::string>& paths) {
    constexpr std::size_t shown = 5;
    std::vector<std::string> first(paths.begin(), paths.begin() + static_cast<std::ptrdiff_t>(std::min(shown, paths.size())));
    std::string names = text::join(first, ", ");
    if (paths.size() > shown) names += tr::format(_(" and %1 more"), {std::to_string(paths.size() - shown)});
    return names;
}

constexpr std::size_t kDiffLimit = 256 * 1024;  // bytes of one file's diff shown in a review

}  // namespace

Task<std::shared_ptr<CheckpointStore>> ProjectHistory::store() {
    if (!root_) throw CheckpointError(_("Open a project first."));
    if (store_) co_return store_;
    const std::filesystem::path root = root_->path(), folder = storesFolder_;
    auto opened = co_await inBackground([root, folder] { return CheckpointStore::open(root, folder); });
    // The project may have changed meanwhile: the store is only kept for the one it belongs to.
    if (root_ && root_->path() == root.string()) store_ = opened;
    co_return opened;
}

void ProjectHistory::use(Url root) {
    root_ = root;
    store_.reset();
    checkpoints.assign({});
}

Task<void> ProjectHistory::prepare() {
    if (!root_) co_return;
    auto keep = owner_.hold();
    try {
        auto opened = co_await store();
        auto listed = co_await inBackground([opened] {
            opened->prune();
            auto all = opened->list();
            // The first record of a project reads every file; made now, a request's takes only
            // what changed.
            if (all.empty()) {
                opened->record(_("When the project was opened"));
                all = opened->list();
            }
            return all;
        });
        if (store_ == opened) checkpoints.assign(std::move(listed));
    } catch (const std::exception& e) {
        chat_.appendSystemMessage(tr::format(_("Checkpoints are unavailable: %1"), {e.what()}));
    }
}

Task<Checkpoint> ProjectHistory::record(std::string label, std::optional<std::string> since) {
    auto keep = owner_.hold();
    auto opened = co_await store();
    co_return co_await inBackground([opened, label, since] { return opened->record(label, since); });
}

Task<std::vector<FileChange>> ProjectHistory::changes(std::string from, std::string to) {
    auto keep = owner_.hold();
    auto opened = co_await store();
    co_return co_await inBackground([opened, from, to] { return opened->changes(from, to); });
}

Task<void> ProjectHistory::refresh() {
    if (!root_) co_return;
    auto keep = owner_.hold();
    try {
        auto opened = co_await store();
        auto listed = co_await inBackground([opened] { return opened->list(); });
        if (store_ == opened) checkpoints.assign(std::move(listed));
    } catch (const std::exception& e) {
        chat_.appendSystemMessage(tr::format(_("Checkpoints are unavailable: %1"), {e.what()}));
    }
}

const AgentMessage* ProjectHistory::find(const Uuid& reply) const {
    for (const auto& m : *chat_.messages) {
        if (m.id == reply) return &m;
    }
    return nullptr;
}

Task<void> ProjectHistory::turn(Uuid reply, bool undo) {
    const AgentMessage* message = find(reply);
    if (!message || !message->changes || message->changes->undone == undo) co_return;
    auto keep = owner_.hold();
    const ReplyChanges changes = *message->changes;
    // Named after the request the reply answered.
    std::string request;
    for (const auto& m : *chat_.messages) {
        if (m.id == reply) break;
        if (m.role == AgentRole::user) request = m.content;
    }
    const std::string label =
        tr::format(undo ? _("Before undoing “%1”") : _("Before redoing “%1”"), {text::firstLine(request, 200)});
    const std::string from = undo ? changes.after : changes.before;
    const std::string to = undo ? changes.before : changes.after;
    CheckpointStore::Applied applied;
    try {
        auto opened = co_await store();
        applied = co_await inBackground([opened, label, from, to] {
            // What is replaced is recorded first, so an Undo can itself be taken back.
            const Checkpoint present = opened->record(label);
            return opened->apply(from, to, present.tree, false);
        });
    } catch (const std::exception& e) {
        chat_.appendSystemMessage(tr::format(undo ? _("Could not undo: %1") : _("Could not redo: %1"), {e.what()}));
        co_return;
    }
    if (!applied.restored.empty()) {
        chat_.update(reply, [&](AgentMessage& m) {
            if (m.changes) m.changes->undone = undo;
        });
        browser_.reload();
    }
    const auto n = static_cast<unsigned long>(applied.restored.size());
    const std::string count = std::to_string(n);
    if (applied.left.empty()) {
        chat_.notify(undo ? tr::format(ngettext("Undid the changes to %1 file.", "Undid the changes to %1 files.", n), {count})
                          : tr::format(ngettext("Redid the changes to %1 file.", "Redid the changes to %1 files.", n), {count}));
    } else {
        chat_.appendSystemMessage(tr::format(
            undo ? ngettext("Undid %1 file. Left as they are, since they changed after this reply: %2",
                            "Undid %1 files. Left as they are, since they changed after this reply: %2", n)
                 : ngettext("Redid %1 file. Left as they are, since they changed after the Undo: %2",
                            "Redid %1 files. Left as they are, since they changed after the Undo: %2", n),
            {count, namesOf(applied.left)}));
    }
    co_await refresh();
}

Task<void> ProjectHistory::showReview(Uuid reply) {
    const AgentMessage* message = find(reply);
    if (!message || !message->changes) co_return;
    auto keep = owner_.hold();
    const ReplyChanges changes = *message->changes;
    try {
        auto opened = co_await store();
        review = co_await inBackground([opened, changes, reply] {
            ChangeReview shown;
            shown.reply = reply;
            for (const auto& change : changes.files) {
                if (shown.files.size() == reviewLimit) {
                    shown.truncated = true;
                    break;
                }
                std::string diff = change.binary ? std::string() : opened->diff(changes.before, changes.after, change.path);
                if (diff.size() > kDiffLimit) {
                    diff.resize(kDiffLimit);
                    diff += "\n…\n";
                }
                shown.files.push_back({change, text::decodeUtf8Lossy(diff)});
            }
            return shown;
        });
    } catch (const std::exception& e) {
        chat_.appendSystemMessage(tr::format(_("Could not show the changes: %1"), {e.what()}));
    }
}

Task<void> ProjectHistory::restore(std::string id) {
    auto found = std::find_if(checkpoints->begin(), checkpoints->end(), [&](const Checkpoint& c) { return c.id == id; });
    if (found == checkpoints->end()) co_return;
    auto keep = owner_.hold();
    const Checkpoint target = *found;
    CheckpointStore::Applied applied;
    try {
        auto opened = co_await store();
        applied = co_await inBackground([opened, target] {
            const Checkpoint present = opened->record(tr::format(_("Before restoring “%1”"), {target.label}));
            return opened->apply(present.tree, target.tree, present.tree, true);
        });
    } catch (const std::exception& e) {
        chat_.appendSystemMessage(tr::format(_("Could not restore the checkpoint: %1"), {e.what()}));
        co_return;
    }
    browser_.reload();
    const auto n = static_cast<unsigned long>(applied.restored.size());
    chat_.appendSystemMessage(tr::format(ngettext("Restored the checkpoint “%1”: %2 file changed back.",
                                                  "Restored the checkpoint “%1”: %2 files changed back.", n),
                                         {target.label, std::to_string(n)}));
    co_await refresh();
}

}  // namespace tarn
