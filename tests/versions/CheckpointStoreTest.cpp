#include "TestSupport.h"
#include "support/Text.h"
#include "versions/CheckpointStore.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

class Checkpoints : public ::testing::Test {
protected:
    TempDir dir{"tarn checkpoints ü-"};
    fs::path project = dir / "build" / "shop";
    fs::path stores = dir / "stores";

    void SetUp() override { fs::create_directories(project); }

    void sh(const std::string& command, const fs::path& in = {}) {
        std::string line = "cd '" + (in.empty() ? project : in).string() + "' && export PATH=/usr/bin:/bin && " + command;
        ASSERT_EQ(std::system(line.c_str()), 0) << command;
    }
    std::string out(const std::string& command) { return outputOf(command, project); }
    // Every file of the project outside .git, .tarn, node_modules and the log: path, mode and contents.
    std::map<std::string, std::string> tree() {
        std::map<std::string, std::string> files;
        for (auto it = fs::recursive_directory_iterator(project); it != fs::recursive_directory_iterator(); ++it) {
            const std::string rel = fs::relative(it->path(), project).string();
            if (rel == ".git" || rel == ".tarn" || rel == "node_modules" || rel == "debug.log") {
                it.disable_recursion_pending();
                continue;
            }
            if (it->is_symlink()) {
                files[rel] = "link " + fs::read_symlink(it->path()).string();
            } else if (it->is_regular_file()) {
                struct stat st {};
                ::stat(it->path().c_str(), &st);
                files[rel] = std::to_string(st.st_mode & 0777) + " " + readFile(it->path());
            }
        }
        return files;
    }
    // What a user's repository is made of: HEAD, index, refs, stash, objects.
    std::string repositoryState() {
        return readFile(project / ".git" / "HEAD") + readFile(project / ".git" / "index") +
               out("git for-each-ref --format='%(refname) %(objectname)'; git stash list; git count-objects -v; "
                   "find .git -type f | sort | xargs sha1sum");
    }
    static std::vector<std::string> paths(const std::vector<FileChange>& changes) {
        std::vector<std::string> p;
        for (auto& c : changes) p.push_back(c.path);
        return p;
    }
};

TEST_F(Checkpoints, ATurnIsUndoneAndRedoneExactly) {
    writeFile(project / "src" / "App.jsx", "one\ntwo\nthree\n");
    writeFile(project / "src" / "old.css", "a {}\n");
    writeFile(project / "run.sh", "echo hi\n");
    writeFile(project / "node_modules" / "x" / "index.js", "dependency\n");
    writeFile(project / "dist" / "out.js", "built\n");
    writeFile(project / ".gitignore", "*.log\n");
    writeFile(project / "debug.log", "noise\n");
    fs::create_symlink("src/App.jsx", project / "entry");
    sh("chmod 600 src/App.jsx");
    auto store = CheckpointStore::open(project, stores);
    const Checkpoint before = store->record("Make it warm");
    const auto original = tree();

    // The turn, through shell commands: an edit, a new file in a new folder, a deletion, a mode,
    // and noise in excluded places.
    sh("printf 'one\\n2\\nthree\\nfour\\n' > src/App.jsx && mkdir -p src/new && echo fresh > src/new/Card.jsx && "
       "rm src/old.css && chmod +x run.sh && echo more >> node_modules/x/index.js && echo again > debug.log");
    const Checkpoint after = store->record("Make it warm", before.tree);
    EXPECT_EQ(after.files, (std::vector<std::string>{"run.sh", "src/App.jsx", "src/new/Card.jsx", "src/old.css"}));
    const auto changed = tree();

    auto changes = store->changes(before.tree, after.tree);
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[1], (FileChange{"src/App.jsx", FileChange::Kind::modified, 2, 1, false}));
    EXPECT_EQ(changes[2].kind, FileChange::Kind::added);
    EXPECT_EQ(changes[3].kind, FileChange::Kind::deleted);
    EXPECT_NE(store->diff(before.tree, after.tree, "src/App.jsx").find("-two\n+2\n three\n+four\n"), std::string::npos);

    // Undo, as the window does it: the present first, then the files back.
    Checkpoint present = store->record("Before undoing");
    auto undone = store->apply(after.tree, before.tree, present.tree, false);
    EXPECT_EQ(undone.restored.size(), 4u);
    EXPECT_TRUE(undone.left.empty());
    EXPECT_EQ(tree(), original);
    EXPECT_EQ(readFile(project / "node_modules" / "x" / "index.js"), "dependency\nmore\n");  // never recorded
    EXPECT_EQ(readFile(project / "debug.log"), "again\n");
    EXPECT_FALSE(fs::exists(project / "src" / "new"));  // the folder it made went with its file

    present = store->record("Before redoing");
    auto redone = store->apply(before.tree, after.tree, present.tree, false);
    EXPECT_EQ(redone.restored.size(), 4u);
    EXPECT_EQ(tree(), changed);

    // Newest first, with what each one says.
    auto all = store->list();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].label, "Before redoing");
    EXPECT_EQ(all[2], after);
}

TEST_F(Checkpoints, AFileChangedSinceIsLeftAndNamed) {
    writeFile(project / "a.txt", "a\n");
    writeFile(project / "b.txt", "b\n");
    auto store = CheckpointStore::open(project, stores);
    const Checkpoint before = store->record("turn");
    writeFile(project / "a.txt", "agent a\n");
    writeFile(project / "b.txt", "agent b\n");
    const Checkpoint after = store->record("turn", before.tree);
    writeFile(project / "b.txt", "the user's own b\n");  // the user edits after the turn

    const Checkpoint present = store->record("Before undoing");
    auto undone = store->apply(after.tree, before.tree, present.tree, false);
    EXPECT_EQ(undone.restored, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(undone.left, std::vector<std::string>{"b.txt"});
    EXPECT_EQ(readFile(project / "a.txt"), "a\n");
    EXPECT_EQ(readFile(project / "b.txt"), "the user's own b\n");

    // Confirmed, it goes too; and what it replaced is in the checkpoint taken first.
    store->apply(after.tree, before.tree, present.tree, true);
    EXPECT_EQ(readFile(project / "b.txt"), "b\n");
    const Checkpoint now = store->record("Before restoring");
    store->apply(now.tree, present.tree, now.tree, true);
    EXPECT_EQ(readFile(project / "b.txt"), "the user's own b\n");
}

TEST_F(Checkpoints, TheUsersRepositoryIsNeverTouched) {
    writeFile(project / "index.html", "<h1>Hi</h1>\n");
    writeFile(project / "notes.txt", "draft\n");
    sh("git init -q -b main . && git config user.email t@example.com && git config user.name T && git add index.html && "
       "git commit -qm init && echo staged > staged.txt && git add staged.txt && echo wip >> index.html && git stash -q && "
       "echo wip2 >> index.html");
    const std::string state = repositoryState();

    auto store = CheckpointStore::open(project, stores);
    const Checkpoint before = store->record("turn");
    EXPECT_EQ(before.branch, "main");
    writeFile(project / "index.html", "<h1>Changed</h1>\n");
    const Checkpoint after = store->record("turn", before.tree);
    store->apply(after.tree, before.tree, store->record("undo").tree, false);
    const Checkpoint now = store->record("Before restoring");
    store->apply(now.tree, after.tree, now.tree, true);
    EXPECT_EQ(readFile(project / "index.html"), "<h1>Changed</h1>\n");
    EXPECT_EQ(repositoryState(), state);
    EXPECT_FALSE(fs::exists(project / ".git" / "index.lock"));
}

TEST_F(Checkpoints, FoldersWithoutGitMovedAndCopied) {
    writeFile(project / "page.html", "v1\n");
    auto store = CheckpointStore::open(project, stores);
    const Checkpoint first = store->record("first");
    EXPECT_EQ(first.branch, "");
    ASSERT_EQ(store->list().size(), 1u);

    // Moved: the history follows it.
    const fs::path moved = dir / "elsewhere" / "shop";
    fs::create_directories(moved.parent_path());
    fs::rename(project, moved);
    auto found = CheckpointStore::open(moved, stores);
    EXPECT_EQ(found->folder(), store->folder());
    EXPECT_EQ(found->list().size(), 1u);

    // Copied: the copy starts a history of its own and the original keeps its.
    sh("cp -a '" + moved.string() + "' '" + project.string() + "'", dir.path());
    auto copy = CheckpointStore::open(project, stores);
    EXPECT_NE(copy->folder(), found->folder());
    EXPECT_TRUE(copy->list().empty());
    EXPECT_EQ(CheckpointStore::open(moved, stores)->folder(), found->folder());
}

TEST_F(Checkpoints, FailuresSayWhyAndOldOnesArePruned) {
    writeFile(project / "a.txt", "a\n");
    auto store = CheckpointStore::open(project, stores);
    store->record("kept");
    // A store that cannot take new contents refuses the checkpoint with git's reason.
    writeFile(project / "b.txt", "b\n");
    fs::rename(store->folder() / "objects", dir / "objects-aside");
    writeFile(store->folder() / "objects", "in the way");
    try {
        store->record("refused");
        FAIL() << "recorded without a place for its contents";
    } catch (const CheckpointError& e) {
        EXPECT_TRUE(text::startsWith(e.what(), "Could not save a checkpoint: ")) << e.what();
    }
    fs::remove(store->folder() / "objects");
    fs::rename(dir / "objects-aside", store->folder() / "objects");
    EXPECT_EQ(store->list().size(), 1u);

    EXPECT_THROW(CheckpointStore::open(dir / "missing", stores), CheckpointError);

    EXPECT_EQ(store->prune(std::chrono::hours(1)), 0);
    EXPECT_EQ(store->prune(std::chrono::seconds(-60)), 1);
    EXPECT_TRUE(store->list().empty());
}

}  // namespace
