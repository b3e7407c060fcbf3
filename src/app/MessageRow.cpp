#include "app/MessageRow.h"

#include "app/Buttons.h"
#include "app/SelectedTargetPillView.h"
#include "support/Text.h"
#include "support/Translate.h"

#include <glib/gi18n-lib.h>

#include <gtkmm/builder.h>
#include <gtkmm/button.h>
#include <gtkmm/expander.h>
#include <gtkmm/eventcontrollermotion.h>
#include <gtkmm/image.h>
#include <gtkmm/menubutton.h>
#include <gtkmm/popover.h>

namespace tarn {

namespace {

GlowFrame::Style bubbleStyle(AgentRole role) {
    GlowFrame::Style style;
    style.radius = 16;
    style.fill = {role == AgentRole::user ? "tarn_user_bubble_bg" : "tarn_bubble_bg"};
    // The thinking glow: a shadow and a ring in the glow's two colours.
    style.ring = {{"tarn_glow_1", 0.08}, {"tarn_glow_2", 0.45}, {"tarn_glow_1", 0.10}, {"tarn_glow_2", 0.05}};
    style.ringWidth = 1.6;
    style.ringOutline = {"tarn_glow_1", 0.12};
    style.ringOutlineWidth = 0.8;
    return style;
}

}  // namespace

std::string MessageRow::authorOf(AgentRole role) {
    switch (role) {
        case AgentRole::user: return _("You");
        case AgentRole::assistant: return _("Agent");
        case AgentRole::system: return _("System");
    }
    return {};
}

MessageRow::MessageRow(const AgentMessage& message)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL), message_(message), fade_(*this, 1.0, [this](double v) {
          if (progress_) progress_->set_opacity(v);
          text_->set_opacity(v);
      }) {
    if (message.role == AgentRole::user) set_css_classes({"tarn-message", "user"});
    else set_css_classes({"tarn-message"});
    auto builder = Gtk::Builder::create();
    builder->add_from_resource("/dev/tarn/Tarn/ui/message-row.ui", std::vector<Glib::ustring>{"content"});
    content_ = builder->get_widget<Gtk::Box>("content");
    author_ = builder->get_widget<Gtk::Label>("author");
    text_ = builder->get_widget<Gtk::Label>("text");
    steps_ = builder->get_widget<Gtk::Box>("steps");
    changes_ = builder->get_widget<Gtk::Box>("changes");
    summary_ = builder->get_widget<Gtk::Label>("summary");
    bubble_.setStyle(bubbleStyle(message.role));
    bubble_.set_hexpand(true);
    bubble_.setChild(*content_);
    append(bubble_);
    author_->set_text(authorOf(message.role));
    // Text becomes selectable once the pointer comes over it: a selectable label carries its
    // own gestures, and a long transcript holds many rows the pointer never reaches.
    auto hover = Gtk::EventControllerMotion::create();
    hover->signal_enter().connect([this](double, double) { text_->set_selectable(true); });
    text_->add_controller(hover);

    showTargets();
    showContent(false);
    showSteps();
    showActions();
    showChanges();
    showPermission();
    showThoughts();
}

void MessageRow::showThoughts() {
    if (message_.thoughts.empty() && !thoughts_) return;
    if (!thoughts_) {
        thoughts_ = Gtk::make_managed<Gtk::Expander>(_("Thinking"));
        thoughts_->set_css_classes({"caption", "dim-label"});
        content_->insert_child_after(*thoughts_, *author_);
        thoughts_->property_expanded().signal_changed().connect([this] { showThoughts(); });
    }
    thoughts_->set_visible(!message_.thoughts.empty());
    if (!thoughts_->get_expanded()) return;
    auto* label = dynamic_cast<Gtk::Label*>(thoughts_->get_child());
    if (!label) {
        label = Gtk::make_managed<Gtk::Label>();
        label->set_xalign(0);
        label->set_wrap(true);
        label->set_wrap_mode(Pango::WrapMode::WORD_CHAR);
        label->set_selectable(true);
        label->add_css_class("caption");
        label->set_margin_start(18);
        thoughts_->set_child(*label);
    }
    label->set_text(message_.thoughts);
}

std::string MessageRow::thoughtsText() const {
    return thoughts_ && thoughts_->get_visible() ? message_.thoughts : std::string();
}

void MessageRow::showPermission() {
    if (!message_.permission) return;
    if (!permission_) {
        permission_ = Gtk::make_managed<PermissionCard>();
        content_->insert_child_after(*permission_, *author_);
        // The card says the question itself.
        text_->set_visible(false);
    }
    permission_->show(message_.id, *message_.permission);
}

void MessageRow::update(const AgentMessage& message) {
    if (message == message_) return;
    // The reply takes the indicator's place with a short fade (ease-in-out, 0.24 s).
    const bool replyArrives = message_.isThinking && !message.isThinking;
    const bool textChanged = message.content != message_.content || message.isThinking != message_.isThinking;
    const bool stepsChanged = message.plan != message_.plan;
    const bool actionsChanged = message.steps != message_.steps || message.details != message_.details ||
                                message.isThinking != message_.isThinking;
    const bool targetsChanged = message.selectedTargets != message_.selectedTargets;
    const bool changesChanged = message.changes != message_.changes;
    const bool thoughtsChanged = message.thoughts != message_.thoughts;
    message_ = message;
    if (targetsChanged) showTargets();
    if (changesChanged) showChanges();
    if (textChanged) showContent(true);
    if (stepsChanged) showSteps();
    if (actionsChanged) showActions();
    if (message_.permission) showPermission();
    if (thoughtsChanged) showThoughts();
    if (replyArrives) {
        fade_.jumpTo(0.35);
        fade_.easeTo(1.0, std::chrono::milliseconds(240));
    }
}

void MessageRow::showTargets() {
    const bool show = message_.role == AgentRole::user && !message_.selectedTargets.empty();
    if (!targetsScroller_) {
        if (!show) return;
        targetsScroller_ = Gtk::make_managed<Gtk::ScrolledWindow>();
        targets_ = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 6);
        targetsScroller_->set_policy(Gtk::PolicyType::EXTERNAL, Gtk::PolicyType::NEVER);
        targetsScroller_->set_size_request(-1, 26);
        targetsScroller_->set_child(*targets_);
        content_->insert_child_after(*targetsScroller_, *author_);
    }
    while (auto* child = targets_->get_first_child()) targets_->remove(*child);
    targetsScroller_->set_visible(show);
    for (const auto& target : message_.selectedTargets) {
        targets_->append(*Gtk::make_managed<SelectedTargetPillView>(target, true, true, false));
    }
}

void MessageRow::makeThinking() {
    // A still mark: the bubble's turning ring already says the agent is at work, and a spinner
    // would redraw the window at every frame for as long as it works.
    auto builder = Gtk::Builder::create();
    builder->add_from_resource("/dev/tarn/Tarn/ui/message-row.ui", std::vector<Glib::ustring>{"thinking"});
    thinking_ = builder->get_widget<Gtk::Box>("thinking");
    progress_ = builder->get_widget<Gtk::Label>("progress");
    content_->insert_child_after(*thinking_, *text_->get_prev_sibling());
}

void MessageRow::showContent(bool animate) {
    const bool thinking = message_.isThinking;
    if (thinking && !thinking_) makeThinking();
    if (thinking_) {
        thinking_->set_visible(thinking);
    }
    text_->set_visible(!thinking);
    bubble_.setRingActive(thinking);
    GlowFrame::Style style = bubble_.style();
    style.shadows.clear();
    if (thinking) style.shadows.push_back({{"tarn_glow_1", 0.16}, 10, 4});
    bubble_.setStyle(style);
    set_size_request(-1, thinking ? 84 : -1);
    if (thinking) {
        if (std::string(progress_->get_text()) != message_.content) {
            progress_->set_text(message_.content);
            // Each new progress line fades in (ease-in-out, 0.2 s).
            if (animate) {
                fade_.jumpTo(0.35);
                fade_.easeTo(1.0, std::chrono::milliseconds(200));
            }
        }
    } else if (std::string(text_->get_text()) != message_.content) {
        text_->set_text(message_.content);
    }
    if (permission_) text_->set_visible(false);
}

void MessageRow::showSteps() {
    while (auto* child = steps_->get_first_child()) steps_->remove(*child);
    steps_->set_visible(!message_.plan.empty());
    for (const auto& step : message_.plan) {
        auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 6);
        auto* icon = Gtk::make_managed<Gtk::Image>();
        icon->set_from_icon_name(step.completed ? "selection-mode-symbolic" : "radio-symbolic");
        icon->add_css_class(step.completed ? "tarn-step-done" : "tarn-step-open");
        icon->set_name(step.completed ? "selection-mode-symbolic" : "radio-symbolic");
        auto* title = Gtk::make_managed<Gtk::Label>(step.title);
        title->set_xalign(0);
        title->set_tooltip_text(step.detail);
        row->append(*icon);
        row->append(*title);
        steps_->append(*row);
    }
}

namespace {

const char* kindIcon(AgentStep::Kind kind) {
    switch (kind) {
        case AgentStep::Kind::read: return "text-x-generic-symbolic";
        case AgentStep::Kind::edit: return "document-edit-symbolic";
        case AgentStep::Kind::run: return "utilities-terminal-symbolic";
        case AgentStep::Kind::search: return "system-search-symbolic";
        case AgentStep::Kind::web: return "web-browser-symbolic";
        case AgentStep::Kind::think: return "dialog-information-symbolic";
        case AgentStep::Kind::other: break;
    }
    return "emblem-system-symbolic";
}

}  // namespace

void MessageRow::fillActionRow(Gtk::Box& row, const AgentStep& step) {
    auto* icon = dynamic_cast<Gtk::Image*>(row.get_first_child());
    auto* kind = dynamic_cast<Gtk::Image*>(icon->get_next_sibling());
    auto* title = dynamic_cast<Gtk::Label*>(kind->get_next_sibling());
    kind->set_from_icon_name(kindIcon(step.kind));
    // A step with no end in a finished reply was cut short (the request stopped).
    const bool open = step.status == AgentStep::Status::running;
    const char* name = step.status == AgentStep::Status::done     ? "object-select-symbolic"
                       : step.status == AgentStep::Status::failed ? "dialog-error-symbolic"
                       : message_.isThinking                      ? "content-loading-symbolic"
                                                                  : "media-playback-stop-symbolic";
    icon->set_from_icon_name(name);
    icon->set_name(name);
    icon->set_opacity(open && message_.isThinking ? 0.6 : 1.0);
    title->set_text(step.title);
    title->set_tooltip_text(step.title);
    const char* state = step.status == AgentStep::Status::done     ? _("done")
                        : step.status == AgentStep::Status::failed ? _("failed")
                        : message_.isThinking                      ? _("running")
                                                                   : _("stopped");
    const std::string label = tr::format(_("%1, %2"), {step.title, state});
    gtk_accessible_update_property(GTK_ACCESSIBLE(row.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL, label.c_str(), -1);

    // Where it acted and what it changed, when the agent says: made only for those steps.
    while (auto* extra = title->get_next_sibling()) row.remove(*extra);
    if (!step.diffs.empty()) {
        auto* show = Gtk::make_managed<Gtk::MenuButton>();
        show->set_css_classes({"flat", "tarn-step-button"});
        show->set_icon_name("view-reveal-symbolic");
        const std::string what = tr::format(_("Show the change to %1"), {step.diffs.front().path});
        show->set_tooltip_text(what);
        setAccessibleLabel(*show, what);
        show->set_create_popup_func([show, diffs = step.diffs] {
            if (show->get_popover()) return;
            auto* text = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 0);
            text->add_css_class("tarn-diff");
            PermissionCard::fillDiff(*text, diffs, 40);
            auto* popover = Gtk::make_managed<Gtk::Popover>();
            popover->set_child(*text);
            show->set_popover(*popover);
        });
        row.append(*show);
    }
    if (!step.locations.empty()) {
        auto* open = Gtk::make_managed<Gtk::Button>();
        open->set_css_classes({"flat", "tarn-step-button"});
        open->set_icon_name("document-open-symbolic");
        const std::string what = tr::format(_("Open %1 in the Editor"), {step.locations.front()});
        open->set_tooltip_text(what);
        setAccessibleLabel(*open, what);
        open->set_action_name("win.open-location");
        open->set_action_target_value(Glib::Variant<Glib::ustring>::create(step.locations.front()));
        row.append(*open);
    }
}

void MessageRow::showActions() {
    const auto& steps = message_.steps;
    if (steps.empty() && message_.details.empty() && !actions_) return;
    if (!actions_) {
        actions_ = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 2);
        actions_->add_css_class("tarn-agent-steps");
        content_->insert_child_after(*actions_, *text_);
    }
    actions_->set_visible(!steps.empty());
    auto makeRow = [this](const AgentStep& step) {
        auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 6);
        auto* icon = Gtk::make_managed<Gtk::Image>();
        icon->set_pixel_size(12);
        // What kind of thing it did: reading, editing, running...
        auto* kind = Gtk::make_managed<Gtk::Image>();
        kind->set_pixel_size(12);
        auto* title = Gtk::make_managed<Gtk::Label>();
        title->set_xalign(0);
        title->set_ellipsize(Pango::EllipsizeMode::MIDDLE);
        row->append(*icon);
        row->append(*kind);
        row->append(*title);
        // The row's own name says the step and its state; the icons say it again only to the eye.
        for (Gtk::Image* image : {icon, kind}) {
            gtk_accessible_update_state(GTK_ACCESSIBLE(image->gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
        }
        fillActionRow(*row, step);
        return row;
    };
    // Rows already made are updated in place; new steps add rows.
    const std::size_t visible = std::min(steps.size(), actionsShown);
    for (std::size_t i = 0; i < visible; ++i) {
        if (i < actionRows_.size()) {
            fillActionRow(*actionRows_[i], steps[i]);
        } else {
            auto* row = makeRow(steps[i]);
            actionRows_.push_back(row);
            if (moreActions_) actions_->insert_child_after(*row, *actionRows_[i - 1]);
            else actions_->append(*row);
        }
    }
    if (steps.size() > actionsShown) {
        if (!moreActions_) {
            moreActions_ = Gtk::make_managed<Gtk::Expander>();
            moreActionsBox_ = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 2);
            moreActions_->set_child(*moreActionsBox_);
            // The hidden steps are made once they are asked for: a long run takes hundreds.
            moreActions_->property_expanded().signal_changed().connect([this] { showActions(); });
            actions_->append(*moreActions_);
        }
        const auto hidden = static_cast<unsigned long>(steps.size() - actionsShown);
        moreActions_->set_label(tr::format(ngettext("%1 more step", "%1 more steps", hidden), {std::to_string(hidden)}));
        if (moreActions_->get_expanded()) {
            for (std::size_t i = actionsShown; i < steps.size(); ++i) {
                if (i < actionRows_.size()) {
                    fillActionRow(*actionRows_[i], steps[i]);
                } else {
                    auto* row = makeRow(steps[i]);
                    actionRows_.push_back(row);
                    moreActionsBox_->append(*row);
                }
            }
        }
    }
    if (!message_.details.empty() && !details_) {
        details_ = Gtk::make_managed<Gtk::Label>();
        details_->set_css_classes({"caption", "dim-label"});
        details_->set_xalign(0);
        details_->set_wrap(true);
        content_->insert_child_after(*details_, *actions_);
    }
    if (details_) {
        details_->set_text(message_.details);
        details_->set_visible(!message_.details.empty());
    }
}

std::vector<std::string> MessageRow::actionTitles() const {
    std::vector<std::string> titles;
    for (auto* row : actionRows_) {
        titles.push_back(dynamic_cast<Gtk::Label*>(row->get_first_child()->get_next_sibling()->get_next_sibling())->get_text());
    }
    return titles;
}

std::string MessageRow::moreActionsLabel() const {
    return moreActions_ && message_.steps.size() > actionsShown ? std::string(moreActions_->get_label()) : std::string();
}

std::string MessageRow::summaryOf(const ReplyChanges& changes) {
    const auto n = static_cast<unsigned long>(changes.files.size());
    return tr::format(ngettext("%1 file, +%2 −%3", "%1 files, +%2 −%3", n),
                      {std::to_string(n), std::to_string(changes.addedLines()), std::to_string(changes.removedLines())});
}

std::string MessageRow::changesSummary() const { return message_.changes ? summaryOf(*message_.changes) : std::string(); }

void MessageRow::showChanges() {
    while (auto* child = summary_->get_next_sibling()) changes_->remove(*child);
    changes_->set_visible(message_.changes.has_value());
    if (!message_.changes) return;
    const ReplyChanges& changes = *message_.changes;
    summary_->set_text(changes.undone ? tr::format(_("%1 (undone)"), {summaryOf(changes)}) : summaryOf(changes));

    // The files, the first few by name.
    constexpr std::size_t shown = 4;
    for (std::size_t i = 0; i < changes.files.size() && i < shown; ++i) {
        const FileChange& file = changes.files[i];
        auto* line = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
        auto* path = Gtk::make_managed<Gtk::Label>(file.path);
        path->set_xalign(0);
        path->set_ellipsize(Pango::EllipsizeMode::MIDDLE);
        std::string counts = file.kind == FileChange::Kind::deleted ? _("deleted")
                             : file.binary                          ? (file.kind == FileChange::Kind::added ? _("new") : "")
                             : file.kind == FileChange::Kind::added
                                 ? tr::format(_("new, +%1"), {std::to_string(file.addedLines)})
                                 : tr::format("+%1 −%2", {std::to_string(file.addedLines), std::to_string(file.removedLines)});
        auto* count = Gtk::make_managed<Gtk::Label>(counts);
        line->append(*path);
        line->append(*count);
        changes_->append(*line);
    }
    if (changes.files.size() > shown) {
        auto* more = Gtk::make_managed<Gtk::Label>(tr::format(_("and %1 more"), {std::to_string(changes.files.size() - shown)}));
        more->set_xalign(0);
        changes_->append(*more);
    }

    // Its buttons are the window's actions, aimed at this reply.
    auto* buttons = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 6);
    auto add = [&](const std::string& label, const char* action, const std::string& help) {
        auto* button = Gtk::make_managed<Gtk::Button>(label);
        button->add_css_class("tarn-reply-action");
        button->set_action_target_value(Glib::Variant<Glib::ustring>::create(message_.id.string()));
        button->set_action_name(action);
        button->set_tooltip_text(help);
        buttons->append(*button);
    };
    add(_("Review changes"), "win.review-reply", _("Show what this reply changed, file by file"));
    if (changes.undone) {
        add(_("Redo"), "win.redo-reply", _("Make this reply's changes again"));
    } else {
        add(_("Undo"), "win.undo-reply", _("Put the files this reply changed back as they were before it"));
    }
    changes_->append(*buttons);
}

std::string MessageRow::shownText() const { return message_.isThinking && progress_ ? progress_->get_text() : text_->get_text(); }

std::vector<std::string> MessageRow::stepSymbols() const {
    std::vector<std::string> symbols;
    for (auto* row = steps_->get_first_child(); row; row = row->get_next_sibling()) {
        symbols.push_back(row->get_first_child()->get_name());
    }
    return symbols;
}

}  // namespace tarn
