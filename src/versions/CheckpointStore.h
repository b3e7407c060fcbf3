#pragma once
#include "model/Checkpoint.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarn {

// Why a checkpoint could not be written, compared or restored; the message is git's own reason.
class CheckpointError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Recorded states of a project's working tree, kept in a git repository of Tarn's own outside the
// project, with its own index: the project's own repository (if it has one) is never read from or
// written to. What the project's .gitignore files exclude is left out, and so are dependency and
// build folders. Identical contents are stored once.
//
// Every operation blocks (it runs git) and is meant for a worker thread; one store serialises its
// operations, so two of them never race on its index.
class CheckpointStore {
public:
    // The store of the project at `projectRoot` inside `storesFolder`, created when missing. A
    // project found under a new path (moved on disk) keeps its store. Throws CheckpointError.
    static std::shared_ptr<CheckpointStore> open(const std::filesystem::path& projectRoot,
                                                 const std::filesystem::path& storesFolder = defaultFolder());
    // Where the stores live: the user's data folder.
    static std::filesystem::path defaultFolder();
    // How long a checkpoint is kept.
    static constexpr std::chrono::hours keptFor{24 * 30};

    // Records the working tree as it is now. With `since`, the checkpoint also lists the files
    // changed since that tree.
    Checkpoint record(const std::string& label, const std::optional<std::string>& since = std::nullopt);
    // Newest first.
    std::vector<Checkpoint> list() const;
    // The files that differ between two recorded trees, with their added and removed lines.
    std::vector<FileChange> changes(const std::string& from, const std::string& to) const;
    // A unified diff of one file between two recorded trees.
    std::string diff(const std::string& from, const std::string& to, const std::string& path) const;

    struct Applied {
        std::vector<std::string> restored;  // now as in `to`
        std::vector<std::string> left;      // changed since `from`, so not touched
    };
    // Brings the files that differ between `from` and `to` to their state in `to` (writing,
    // recreating or removing them, atomically and with their modes). A file whose state in
    // `present` is no longer its state in `from` was changed by someone since: it is left,
    // unless `overwrite`.
    Applied apply(const std::string& from, const std::string& to, const std::string& present, bool overwrite);
    // Removes checkpoints older than `age` and the contents only they held, and packs loose
    // contents once there are many; how many checkpoints went.
    int prune(std::chrono::system_clock::duration age = keptFor);

    const std::filesystem::path& folder() const { return store_; }

private:
    CheckpointStore(std::filesystem::path root, std::filesystem::path store) : root_(std::move(root)), store_(std::move(store)) {}
    struct Output {
        std::string out, err;
        int status = 0;
    };
    Output run(std::vector<std::string> arguments) const;
    // Runs git and gives its output; throws CheckpointError with git's reason when it fails.
    std::string git(std::vector<std::string> arguments, const std::string& doing) const;
    void initialise() const;

    std::filesystem::path root_;
    std::filesystem::path store_;
    mutable std::mutex lock_;
    int sequence_ = 0;
};

}  // namespace tarn
