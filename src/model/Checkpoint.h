#pragma once
#include "support/Uuid.h"

#include <chrono>
#include <string>
#include <vector>

namespace tarn {

// How one file differs between two states of a project.
struct FileChange {
    enum class Kind { added, modified, deleted };
    std::string path;  // relative to the project's root
    Kind kind = Kind::modified;
    int addedLines = 0;
    int removedLines = 0;
    bool binary = false;

    friend bool operator==(const FileChange&, const FileChange&) = default;
};

// A recorded state of a project's working tree.
struct Checkpoint {
    std::string id;    // unique within the project, ordered by time
    std::string tree;  // the recorded tree, by which two states are compared and restored
    std::chrono::system_clock::time_point time;
    std::string label;   // the request (or the operation) it was taken for
    std::string branch;  // the version the project was on; empty outside git
    std::vector<std::string> files;  // for one taken after a change: what it changed

    friend bool operator==(const Checkpoint&, const Checkpoint&) = default;
};

// What one reply changed: the states before and after its turn, and the files between them.
struct ReplyChanges {
    std::string before;
    std::string after;
    std::vector<FileChange> files;
    bool undone = false;

    int addedLines() const {
        int n = 0;
        for (const auto& f : files) n += f.addedLines;
        return n;
    }
    int removedLines() const {
        int n = 0;
        for (const auto& f : files) n += f.removedLines;
        return n;
    }
    friend bool operator==(const ReplyChanges&, const ReplyChanges&) = default;
};

// What a reply changed, file by file, as unified diffs: shown when the user reviews it.
struct ChangeReview {
    struct File {
        FileChange change;
        std::string diff;
    };
    Uuid reply;
    std::vector<File> files;
    bool truncated = false;  // more files changed than are shown
};

}  // namespace tarn
