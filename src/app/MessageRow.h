#pragma once
#include "app/GlowFrame.h"
#include "app/Motion.h"
#include "app/PermissionCard.h"
#include "model/AgentMessage.h"

#include <gtkmm/box.h>
#include <gtkmm/expander.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/image.h>

namespace tarn {

// One chat message as a bubble: who wrote it, the elements that went with a request, the text
// (or, while an agent works, a turning ring with its latest progress line), and the plan steps.
// Updated in place when the message changes.
class MessageRow : public Gtk::Box {
public:
    explicit MessageRow(const AgentMessage& message);
    void update(const AgentMessage& message);

    const AgentMessage& message() const { return message_; }
    static std::string authorOf(AgentRole role);
    // What the row shows, for tests: the text, and one symbol name per plan step.
    std::string shownText() const;
    std::vector<std::string> stepSymbols() const;
    // The agent's steps as the row lists them ("Reading src/App.jsx"), hidden ones included, and
    // what the "n more" control says ("" when all show).
    std::vector<std::string> actionTitles() const;
    std::string moreActionsLabel() const;
    std::string detailsText() const { return details_ ? std::string(details_->get_text()) : std::string(); }
    // What the reply's changes say ("3 files, +12 −4"), empty without changes.
    std::string changesSummary() const;
    static std::string summaryOf(const ReplyChanges& changes);
    bool showsRing() const { return bubble_.ringActive(); }
    const PermissionCard* permissionCard() const { return permission_; }
    // The agent's thoughts as the folded "Thinking" row holds them; empty without one.
    std::string thoughtsText() const;

private:
    void showContent(bool animate);
    void showSteps();
    void showActions();
    void fillActionRow(Gtk::Box& row, const AgentStep& step);
    void showTargets();
    void showChanges();
    void makeThinking();
    void showPermission();
    void showThoughts();

    AgentMessage message_;
    GlowFrame bubble_;
    // From message-row.ui, held by the bubble.
    Gtk::Box* content_ = nullptr;
    Gtk::Label* author_ = nullptr;
    Gtk::Label* text_ = nullptr;
    Gtk::Box* steps_ = nullptr;
    Gtk::Box* changes_ = nullptr;
    Gtk::Label* summary_ = nullptr;
    // Made for the messages that show them: a long transcript holds many rows.
    Gtk::ScrolledWindow* targetsScroller_ = nullptr;
    Gtk::Box* targets_ = nullptr;
    Gtk::Box* thinking_ = nullptr;
    Gtk::Label* progress_ = nullptr;
    PermissionCard* permission_ = nullptr;
    // The agent's steps: the first few, then the rest inside an expander, made when it opens.
    Gtk::Box* actions_ = nullptr;
    Gtk::Expander* moreActions_ = nullptr;
    Gtk::Box* moreActionsBox_ = nullptr;
    std::vector<Gtk::Box*> actionRows_;
    Gtk::Label* details_ = nullptr;
    // The agent's thoughts, folded away; the text is set when the row first opens.
    Gtk::Expander* thoughts_ = nullptr;
    static constexpr std::size_t actionsShown = 5;
    motion::Animator fade_;
};

}  // namespace tarn
