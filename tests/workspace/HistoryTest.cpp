#include "WorkspaceFixture.h"

using namespace tarn;
using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

class History : public WorkspaceFixture {
protected:
    void open() {
        writeProject("sleep 300");
        writeFile(project / "src" / "old.css", "h1 { color: red; }\n");
        shell("git add -A && git commit -qm styles");
        installAgents({"codex"});
        replay("codex.answer", "Done.");
        make();
        runTask(vm->loadProject(root()));
        vm->server().stop();
    }
    const AgentMessage& lastReply() const {
        for (auto it = vm->chat().messages->rbegin(); it != vm->chat().messages->rend(); ++it) {
            if (it->role == AgentRole::assistant) return *it;
        }
        throw std::runtime_error("no reply");
    }
    std::string out(const std::string& command) { return outputOf(command, project); }
    // The user's repository, byte for byte where it matters: HEAD, index, refs, stash, objects.
    std::string repositoryState() {
        return out("cat .git/HEAD .git/index | sha1sum; git for-each-ref --format='%(refname) %(objectname)'; "
                   "git stash list; git count-objects -v; find .git -type f | sort | xargs sha1sum");
    }
};

TEST_F(History, ARequestIsUndoneAndRedoneThroughItsReply) {
    open();
    // The user has work in progress: staged, stashed and unstaged.
    shell("echo staged > staged.txt && git add staged.txt && echo stash >> src/old.css && git stash -q && "
          "echo mine > notes.txt");
    const std::string state = repositoryState();
    const std::string app = readFile(project / "src" / "App.tsx");

    // The tool edits, creates and deletes through shell commands.
    replay("codex.edit", "sed -i 's/Hello shop/Warm bread/' src/App.tsx && mkdir -p src/ui && "
                         "printf 'a\\nb\\n' > src/ui/Card.tsx && rm src/old.css\n");
    send("Make it warm");
    const AgentMessage reply = lastReply();
    ASSERT_TRUE(reply.changes);
    EXPECT_EQ(*vm->requests().touchedFiles, (std::vector<std::string>{"src/App.tsx", "src/old.css", "src/ui/Card.tsx"}));
    EXPECT_EQ(reply.changes->files[0], (FileChange{"src/App.tsx", FileChange::Kind::modified, 1, 1, false}));
    EXPECT_EQ(reply.changes->files[1].kind, FileChange::Kind::deleted);
    EXPECT_EQ(reply.changes->files[2].kind, FileChange::Kind::added);
    EXPECT_EQ(reply.changes->addedLines(), 3);
    EXPECT_EQ(reply.changes->removedLines(), 2);
    EXPECT_EQ(repositoryState(), state);

    // The review: one diff per file.
    runTask(vm->history().showReview(reply.id));
    ASSERT_TRUE(*vm->history().review);
    ASSERT_EQ((*vm->history().review)->files.size(), 3u);
    EXPECT_NE((*vm->history().review)->files[0].diff.find("-  return <h1>Hello shop</h1>;\n+  return <h1>Warm bread</h1>;"),
              std::string::npos);
    vm->history().closeReview();

    const int reload = preview.reloads;
    runTask(vm->history().undo(reply.id));
    EXPECT_EQ(readFile(project / "src" / "App.tsx"), app);
    EXPECT_EQ(readFile(project / "src" / "old.css"), "h1 { color: red; }\n");
    EXPECT_FALSE(fs::exists(project / "src" / "ui"));
    EXPECT_TRUE(lastReply().changes->undone);
    EXPECT_NE(preview.reloads, reload);
    EXPECT_EQ(repositoryState(), state);

    runTask(vm->history().redo(reply.id));
    EXPECT_NE(readFile(project / "src" / "App.tsx").find("Warm bread"), std::string::npos);
    EXPECT_FALSE(fs::exists(project / "src" / "old.css"));
    EXPECT_EQ(readFile(project / "src" / "ui" / "Card.tsx"), "a\nb\n");
    EXPECT_FALSE(lastReply().changes->undone);

    // The user edits one of its files afterwards: Undo leaves it and says so.
    writeFile(project / "src" / "ui" / "Card.tsx", "the user's own card\n");
    runTask(vm->history().undo(reply.id));
    EXPECT_EQ(readFile(project / "src" / "ui" / "Card.tsx"), "the user's own card\n");
    EXPECT_EQ(readFile(project / "src" / "App.tsx"), app);
    EXPECT_TRUE(said("Undid 2 files. Left as they are, since they changed after this reply: src/ui/Card.tsx"));

    // Every step is in the history, newest first; restoring the one before the Undo brings the
    // user's card back together with the turn's other changes.
    runTask(vm->history().refresh());
    const auto& all = *vm->history().checkpoints;
    ASSERT_GE(all.size(), 5u);
    EXPECT_EQ(all[0].label, "Before undoing “Make it warm”");
    EXPECT_EQ(all.back().label, "When the project was opened");
    EXPECT_EQ(all[0].branch, "main");
    auto after = std::find_if(all.begin(), all.end(), [](const Checkpoint& c) { return c.label == "After “Make it warm”"; });
    ASSERT_NE(after, all.end());
    EXPECT_EQ(after->files, (std::vector<std::string>{"src/App.tsx", "src/old.css", "src/ui/Card.tsx"}));
    runTask(vm->history().restore(all[0].id));
    EXPECT_EQ(readFile(project / "src" / "ui" / "Card.tsx"), "the user's own card\n");
    EXPECT_NE(readFile(project / "src" / "App.tsx").find("Warm bread"), std::string::npos);
    EXPECT_EQ(repositoryState(), state);
}

TEST_F(History, PlansRecordNothingAndAFailedRecordStopsTheRequest) {
    open();
    replay("codex.edit", "echo changed >> src/App.tsx\n");
    runTask(vm->history().refresh());
    const std::size_t recorded = vm->history().checkpoints->size();
    vm->requests().planModeEnabled = true;
    send("Plan a settings page");
    runTask(vm->history().refresh());
    EXPECT_EQ(vm->history().checkpoints->size(), recorded);
    vm->requests().planModeEnabled = false;

    // A store that cannot take the project's contents: the tool never runs.
    fs::path store;
    for (auto& entry : fs::directory_iterator(dir / "checkpoints")) store = entry.path();
    fs::rename(store / "objects", dir / "objects-aside");
    writeFile(store / "objects", "in the way");
    fs::remove(standin / "codex.args");
    const std::string app = readFile(project / "src" / "App.tsx");
    send("Make it warm");
    EXPECT_TRUE(text::startsWith(lastReply().content,
                                 "Nothing was changed: the project could not be recorded first. Could not save a checkpoint: "))
        << lastReply().content;
    EXPECT_FALSE(fs::exists(standin / "codex.args"));
    EXPECT_EQ(readFile(project / "src" / "App.tsx"), app);
    EXPECT_FALSE(*vm->requests().isSending);
}

TEST_F(History, AVersionSwitchLosesNothing) {
    open();
    // The other version changes the file the agent edits, so git refuses to carry the edit over;
    // either way, the state before the switch is recorded.
    shell("git checkout -q -b other && echo theirs > src/App.tsx && git commit -qam theirs && git checkout -q main");
    replay("codex.edit", "echo '// agent' >> src/App.tsx && echo new > src/extra.ts\n");
    send("Add a comment");
    const std::string edited = readFile(project / "src" / "App.tsx");
    runTask(vm->switchVersion("other"));
    EXPECT_TRUE(text::startsWith(systemMessages().back(), "Could not switch Version: ")) << systemMessages().back();
    runTask(vm->history().refresh());
    ASSERT_FALSE(vm->history().checkpoints->empty());
    const Checkpoint before = vm->history().checkpoints->front();
    EXPECT_EQ(before.label, "Before switching to Version “other”");
    EXPECT_EQ(before.branch, "main");
    // The user forces the switch by hand, stashing the edits away.
    shell("git stash -q -u && git checkout -q other");
    ASSERT_EQ(readFile(project / "src" / "App.tsx"), "theirs\n");
    EXPECT_FALSE(fs::exists(project / "src" / "extra.ts"));

    runTask(vm->history().restore(before.id));
    EXPECT_EQ(readFile(project / "src" / "App.tsx"), edited);
    EXPECT_EQ(readFile(project / "src" / "extra.ts"), "new\n");
}

}  // namespace
