#include "GuiFixture.h"
#include "app/MessageRow.h"
#include "app/SelectedTargetPillView.h"

#include <limits>

using namespace tarn;
using namespace tarn::test;
using namespace std::chrono_literals;

namespace {

class Panel : public GuiFixture {
protected:
    Composer& composer() { return view().agent().composer(); }
    std::vector<SelectedTargetPillView*> composerPills() {
        std::vector<SelectedTargetPillView*> out;
        for (auto* c = composer().pills().get_first_child(); c; c = c->get_next_sibling()) {
            out.push_back(static_cast<SelectedTargetPillView*>(c));
        }
        return out;
    }
};

}  // namespace

TEST_F(Panel, TheComposerSendsAndStops) {
    launch();
    Gtk::Button& send = composer().sendButton();
    EXPECT_FALSE(send.get_sensitive());
    composer().editor().get_buffer()->set_text(" \n \t\n");
    EXPECT_EQ(*vm->requests().draftPrompt, " \n \t\n");
    EXPECT_FALSE(send.get_sensitive());
    composer().editor().get_buffer()->set_text(" x");
    EXPECT_TRUE(send.get_sensitive());
    EXPECT_EQ(send.get_tooltip_text(), "Send");

    // Build Feature only in plan mode; it replaces the prompt.
    EXPECT_FALSE(composer().buildFeatureButton().get_visible());
    activate("win.plan-mode");
    EXPECT_TRUE(*vm->requests().planModeEnabled);
    EXPECT_TRUE(composer().buildFeatureButton().get_visible());
    click(composer().buildFeatureButton());
    EXPECT_EQ(textOf(composer().editor()),
              "Add a 3-step onboarding flow after sign-up and route users to /onboarding.");

    // While a request runs the button is Stop, and stops it.
    vm->requests().isSending = true;
    EXPECT_TRUE(composer().sendMeansStop());
    EXPECT_EQ(send.get_tooltip_text(), "Stop request");
    EXPECT_TRUE(send.get_sensitive());
    vm->requests().isSending = false;
    EXPECT_EQ(send.get_tooltip_text(), "Send");

    // Sending with no project: the field empties, the agent answers.
    click(send);
    ASSERT_TRUE(runLoopUntil([&] { return vm->chat().messages->size() == 2; }));
    flush();
    EXPECT_EQ(textOf(composer().editor()), "");
    EXPECT_FALSE(send.get_sensitive());
    EXPECT_EQ(view().agent().transcript().rows().back()->shownText(),
              "Open a project first so I can inspect and edit real files.");
}

TEST_F(Panel, TheRuntimePickerIsTextOrAMenu) {
    installAgents({"claude"});
    launch();
    EXPECT_FALSE(composer().pickerIsMenu());
    EXPECT_EQ(std::string(composer().modelText().get_text()), "Claude Code");
    installAgents({"codex", "claude"});
    vm->runtimes().refresh();
    EXPECT_TRUE(composer().pickerIsMenu());
    // A radio item per runtime on the window's stateful action, whose state is the choice.
    auto menu = composer().runtimeMenu().get_menu_model();
    ASSERT_EQ(menu->get_n_items(), 2);
    auto state = [&] { return Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(window->lookup_action("agent-runtime")->get_state_variant()).get(); };
    EXPECT_EQ(state(), "claudeCode");
    activate("win.agent-runtime", Glib::Variant<Glib::ustring>::create("codex"));
    EXPECT_EQ(*vm->runtimes().selectedAgentRuntime, AgentRuntime::codex);
    EXPECT_EQ(state(), "codex");
    EXPECT_EQ(std::string(composer().runtimeMenu().get_label()), "Codex");
    vm->runtimes().select(AgentRuntime::claudeCode);
    EXPECT_EQ(state(), "claudeCode");
}

TEST_F(Panel, PillsPresetsAndSteps) {
    launch();
    InspectTarget bare;
    bare.selectionKey = "k";
    bare.isSelected = true;
    bare.tagName = "section";
    bare.selector = "section.hero";
    vm->handleInspectSelection(bare);
    vm->handleInspectSelection(target("h1", "Hello shop"));
    auto pills = composerPills();
    ASSERT_EQ(pills.size(), 2u);
    EXPECT_EQ(SelectedTargetPillView::titleOf(pills[0]->target()), "section");
    EXPECT_EQ(SelectedTargetPillView::subtitleOf(pills[0]->target()), "section.hero");
    EXPECT_EQ(SelectedTargetPillView::subtitleOf(pills[1]->target()), "src/App.tsx");
    // The remove control shows only while the pointer is over the pill.
    EXPECT_FALSE(pills[0]->removeShown());
    pills[0]->setHovering(true);
    EXPECT_TRUE(pills[0]->removeShown());
    EXPECT_EQ(pills[0]->removeButton().get_tooltip_text(), "Remove selection");
    click(pills[0]->removeButton());
    flush();
    EXPECT_EQ(vm->selection().selectedInspectTargets->size(), 1u);
    EXPECT_EQ(composerPills().size(), 1u);
    EXPECT_TRUE(composer().ringActive());
    // A new selection makes the composer pulse: one starts, and it ends where it began.
    const int pulses = composer().pulsesStarted();
    vm->handleInspectSelection(target("p", "Para"));
    EXPECT_EQ(composer().pulsesStarted(), pulses + 1);
    EXPECT_TRUE(runLoopUntil([&] { return composer().pulseLevel() < 0.01 && composer().pulseTarget() == 0; }, 10s));

    // Presets fill the prompt and set plan mode; nothing is sent.
    activate("win.apply-preset", Glib::Variant<int>::create(0));
    EXPECT_TRUE(*vm->requests().planModeEnabled);
    EXPECT_EQ(textOf(composer().editor()), "Plan a 3-step onboarding flow after signup. Do not implement yet.");
    activate("win.apply-preset", Glib::Variant<int>::create(2));
    EXPECT_FALSE(*vm->requests().planModeEnabled);
    activate("win.apply-preset", Glib::Variant<int>::create(1));
    EXPECT_FALSE(*vm->requests().planModeEnabled);
    EXPECT_EQ(*vm->requests().draftPrompt, "Implement a 3-step onboarding flow after signup with reusable components.");
    EXPECT_EQ(vm->chat().messages->size(), 1u);

    // A user message carries its elements as pills, without a remove control.
    AgentMessage user(AgentRole::user, "Make it pop");
    user.selectedTargets = {target("h1", "Hello shop")};
    AgentMessage reply(AgentRole::assistant, "Done");
    reply.plan = {AgentPlanStep{Uuid(), "One", "", true}, AgentPlanStep{Uuid(), "Two", "", false},
                  AgentPlanStep{Uuid(), "Three", "", false}};
    vm->chat().messages.append(user);
    vm->chat().messages.append(reply);
    flush();
    auto rows = view().agent().transcript().rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(MessageRow::authorOf(rows[1]->message().role), "You");
    EXPECT_EQ(rows[2]->stepSymbols(), (std::vector<std::string>{"selection-mode-symbolic", "radio-symbolic", "radio-symbolic"}));

    // The agent's steps: the first few, the rest behind "n more", made when opened, updated in place.
    vm->chat().messages.change(2, [&](AgentMessage& last) {
        for (int i = 0; i < 7; ++i) {
            last.steps.push_back(AgentStep{"s" + std::to_string(i), AgentStep::Kind::read, "Reading f" + std::to_string(i),
                                           AgentStep::Status::done});
        }
        last.details = "Claude Code · 5 turns · 2.4 s";
    });
    flush();
    rows = view().agent().transcript().rows();
    EXPECT_EQ(rows[2]->actionTitles(), (std::vector<std::string>{"Reading f0", "Reading f1", "Reading f2", "Reading f3", "Reading f4"}));
    EXPECT_EQ(rows[2]->moreActionsLabel(), "2 more steps");
    EXPECT_EQ(rows[2]->detailsText(), "Claude Code · 5 turns · 2.4 s");
    vm->chat().messages.change(2, [&](AgentMessage& last) {
        last.steps[0].status = AgentStep::Status::failed;
        last.steps.push_back(AgentStep{"s7", AgentStep::Kind::edit, "Editing f7", AgentStep::Status::done});
    });
    flush();
    EXPECT_EQ(rows[2]->moreActionsLabel(), "3 more steps");
    EXPECT_EQ(rows[2]->actionTitles().size(), 5u);
}

TEST_F(Panel, TheThinkingMessageTurnsAndBecomesTheReply) {
    launch();
    vm->thinking().begin("Working on it now.");
    flush();
    MessageRow* row = view().agent().transcript().rows().back();
    EXPECT_TRUE(row->showsRing());
    EXPECT_TRUE(runLoopUntil([&] { return row->get_height() >= 84; }));
    EXPECT_TRUE(runLoopUntil([&] { return row->shownText() == "Working on it now."; }));
    EXPECT_TRUE(GlowClock::shared().running());
    double before = GlowClock::shared().angle();
    EXPECT_TRUE(runLoopUntil([&] { return GlowClock::shared().angle() != before; }, 10s));
    vm->thinking().complete("All done.", {});
    flush();
    EXPECT_EQ(view().agent().transcript().rows().back(), row);
    EXPECT_FALSE(row->showsRing());
    EXPECT_EQ(row->shownText(), "All done.");
    // With no ring on screen the clock stops.
    EXPECT_FALSE(GlowClock::shared().running());
}

TEST_F(Panel, TheChangeDescriptionDialogSendsItsOwnText) {
    launch();
    vm->handleInspectSelection(target("h1", "Hello shop"));
    vm->requests().changeDescriptionDraft = "something older";
    click(view().browser().header().changeDescriptionButton());
    flush();
    EditDialog& dialog = view().changeDescriptionDialog();
    EXPECT_TRUE(dialog.visible());
    EXPECT_EQ(textOf(dialog.editor()), "");
    dialog.editor().get_buffer()->set_text("Make the title larger");
    dialog.respond("apply");
    flush();
    flush();
    EXPECT_EQ(*vm->requests().changeDescriptionDraft, "Make the title larger");
    EXPECT_FALSE(*vm->requests().showChangeDescription);
    EXPECT_FALSE(dialog.visible());
    ASSERT_TRUE(runLoopUntil([&] { return vm->chat().messages->size() >= 2; }));
}

TEST_F(Panel, TheTranscriptFollowsTheNewestMessage) {
    launch();
    auto adjustment = view().agent().transcript().get_vadjustment();
    auto atEnd = [&] { return adjustment->get_value() + adjustment->get_page_size() >= adjustment->get_upper() - 1; };
    for (int i = 0; i < 30; ++i) vm->chat().appendSystemMessage("Message number " + std::to_string(i));
    frames(5);
    EXPECT_GT(adjustment->get_upper(), adjustment->get_page_size());
    EXPECT_TRUE(runLoopUntil([&] { return atEnd(); }, std::chrono::seconds(10)));
    // A reply that grows in place (plan steps) is followed too.
    vm->thinking().begin("Working");
    frames(5);
    vm->requests().touchedFiles = std::vector<std::string>{"src/App.tsx", "src/main.tsx"};
    vm->thinking().complete("Done.\n\nDone in more words than fit on one line of the column.",
                           {AgentPlanStep{Uuid(), "One", "", true}, AgentPlanStep{Uuid(), "Two", "", true},
                            AgentPlanStep{Uuid(), "Three", "", true}});
    frames(5);
    EXPECT_TRUE(runLoopUntil([&] { return atEnd(); }, std::chrono::seconds(10)))
        << adjustment->get_value() << " + " << adjustment->get_page_size() << " < " << adjustment->get_upper();
    // Its last line is on screen, not below the fold.
    Transcript& transcript = view().agent().transcript();
    auto bottomOfLast = [&] {
        graphene_rect_t bounds;
        if (!gtk_widget_compute_bounds(GTK_WIDGET(transcript.rows().back()->gobj()), GTK_WIDGET(transcript.gobj()), &bounds)) {
            return std::numeric_limits<float>::infinity();
        }
        return bounds.origin.y + bounds.size.height;
    };
    EXPECT_TRUE(runLoopUntil([&] { return bottomOfLast() <= transcript.get_height(); }, std::chrono::seconds(10)))
        << bottomOfLast() << " > " << transcript.get_height();
    // Scrolled up by the user: left where it is.
    adjustment->set_value(0);
    vm->chat().appendSystemMessage("One more");
    frames(5);
    EXPECT_EQ(adjustment->get_value(), 0);
}


TEST_F(Panel, AReplysChangesAreUndoneRedoneReviewedAndRestored) {
    writeProject("sleep 300");
    installAgents({"codex"});
    launch();
    runTask(vm->loadProject(root()));
    vm->server().stop();
    const std::string app = readFile(project / "src" / "App.tsx");
    replay("codex.answer", "Warmed it up.");
    replay("codex.edit", "sed -i 's/Hello shop/Warm bread/' src/App.tsx && printf 'a\\nb\\n' > src/Card.tsx\n");
    vm->requests().draftPrompt = "Make it warm";
    activate("win.send-prompt");
    ASSERT_TRUE(runLoopUntil([&] { return !*vm->requests().isSending && vm->chat().messages->back().changes; }));
    flush();

    MessageRow* reply = view().agent().transcript().rows().back();
    EXPECT_EQ(reply->changesSummary(), "2 files, +3 −1");
    Gtk::Button* undo = buttonLabelled(*reply, "Undo");
    ASSERT_NE(undo, nullptr);
    click(*undo);
    ASSERT_TRUE(runLoopUntil([&] { return readFile(project / "src" / "App.tsx") == app && vm->chat().messages->back().changes->undone; }));
    EXPECT_FALSE(std::filesystem::exists(project / "src" / "Card.tsx"));
    flush();
    Gtk::Button* redo = buttonLabelled(*reply, "Redo");
    ASSERT_NE(redo, nullptr);
    click(*redo);
    ASSERT_TRUE(runLoopUntil([&] { return std::filesystem::exists(project / "src" / "Card.tsx"); }));
    EXPECT_NE(readFile(project / "src" / "App.tsx").find("Warm bread"), std::string::npos);

    // The review: a dialog of the window, a diff per file, gone with Escape's action.
    flush();
    click(*buttonLabelled(*reply, "Review changes"));
    ReviewDialog& review = view().reviewDialog();
    ASSERT_TRUE(runLoopUntil([&] { return review.get_visible(); }));
    EXPECT_EQ(review.get_transient_for(), window);
    EXPECT_TRUE(review.get_modal());
    ASSERT_EQ(review.listed().size(), 2u);
    EXPECT_EQ(review.listed()[0].change.path, "src/App.tsx");
    EXPECT_NE(review.shownDiff().find("+  return <h1>Warm bread</h1>;"), std::string::npos);
    review.files().select_row(*review.files().get_row_at_index(1));
    EXPECT_NE(review.shownDiff().find("+++ b/src/Card.tsx\n@@ -0,0 +1,2 @@\n+a\n+b"), std::string::npos);
    review.close();
    ASSERT_TRUE(runLoopUntil([&] { return !review.get_visible() && !*vm->history().review; }));

    // The history, newest first; restoring the checkpoint before the request takes the turn back.
    activate("win.show-history");
    VersionsWindow& versions = view().versionsWindow();
    ASSERT_TRUE(runLoopUntil([&] { return versions.get_visible() && versions.history().get_row_at_index(3) != nullptr; }));
    const auto& all = *vm->history().checkpoints;
    auto before = std::find_if(all.begin(), all.end(), [](const Checkpoint& c) { return c.label == "Before “Make it warm”"; });
    ASSERT_NE(before, all.end());
    auto* row = versions.history().get_row_at_index(static_cast<int>(before - all.begin()));
    Gtk::Button* restore = buttonLabelled(*row, "Restore");
    ASSERT_NE(restore, nullptr);
    click(*restore);
    // File by file: the restore is over when both are back.
    EXPECT_TRUE(runLoopUntil([&] { return readFile(project / "src" / "App.tsx") == app && !std::filesystem::exists(project / "src" / "Card.tsx"); }));
}
