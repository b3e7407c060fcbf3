#include "app/Composer.h"

#include "app/Accessibility.h"
#include "app/Bind.h"
#include "app/Buttons.h"
#include "app/SelectedTargetPillView.h"
#include "support/Text.h"

#include <giomm/menu.h>
#include <glib/gi18n-lib.h>
#include <glibmm/main.h>
#include <gtkmm/builder.h>
#include <gtkmm/overlay.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/image.h>

namespace tarn {

bool Composer::canSend(const std::string& draft) { return !text::trim(draft).empty(); }

Composer::Composer(AppViewModel& model)
    : Glib::ObjectBase("TarnComposer"), model_(model), pulse_(*this, 0.0, [this](double level) { showPulse(level); }) {
    set_size_request(-1, 130);
    set_vexpand(false);
    showPulse(0);
    auto builder = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/composer.ui");
    editorScroller_ = builder->get_widget<Gtk::ScrolledWindow>("editor-scroller");
    editor_ = builder->get_widget<Gtk::TextView>("editor");
    pillsRevealer_ = builder->get_widget<Gtk::Revealer>("pills-revealer");
    pills_ = builder->get_widget<Gtk::Box>("pills");
    buildFeature_ = builder->get_widget<Gtk::Button>("build-feature");
    picker_ = builder->get_widget<Gtk::Stack>("picker");
    modelText_ = builder->get_widget<Gtk::Label>("model-text");
    modelMenu_ = builder->get_widget<Gtk::MenuButton>("model-menu");
    send_ = builder->get_widget<Gtk::Button>("send");
    setChild(*builder->get_widget<Gtk::Overlay>("overlay"));
    nameInnerParts(*editorScroller_, _("Prompt"));
    nameInnerParts(*pillsRevealer_, _("Selected elements"));
    nameInnerParts(*modelMenu_, _("Agent runtime"));
    bind::text(*editor_, editor_->get_buffer(), model_.requests().draftPrompt);
    // Escape stops a running request, as the Stop button does.
    auto keys = Gtk::EventControllerKey::create();
    keys->signal_key_pressed().connect(
        [this](guint key, guint, Gdk::ModifierType modifiers) {
            // While the agent's commands show, the keyboard picks among them.
            const bool plain = (modifiers & (Gdk::ModifierType::CONTROL_MASK | Gdk::ModifierType::ALT_MASK)) == Gdk::ModifierType{};
            if (commands_.get_visible() && plain) {
                switch (key) {
                    case GDK_KEY_Tab:
                    case GDK_KEY_Return:
                    case GDK_KEY_KP_Enter: return completeSelectedCommand();
                    case GDK_KEY_Down: moveCommandSelection(1); return true;
                    case GDK_KEY_Up: moveCommandSelection(-1); return true;
                    case GDK_KEY_Escape:
                        dismissedFor_ = *model_.requests().draftPrompt;
                        showCommands();
                        return true;
                    default: break;
                }
            }
            if (key != GDK_KEY_Escape || !*model_.requests().isSending) return false;
            editor_->activate_action("win.stop-request");
            return true;
        },
        false);
    editor_->add_controller(keys);

    commands_.set_autohide(false);
    commands_.set_has_arrow(false);
    commands_.set_position(Gtk::PositionType::TOP);
    commands_.set_can_focus(false);
    commands_.add_css_class("menu");
    commandsList_.set_selection_mode(Gtk::SelectionMode::SINGLE);
    commandsList_.set_can_focus(false);
    commandsList_.set_activate_on_single_click(true);
    setAccessibleLabel(commandsList_, _("Agent commands"));
    commandsList_.signal_row_activated().connect([this](Gtk::ListBoxRow* row) {
        const int i = row->get_index();
        if (i >= 0 && static_cast<std::size_t>(i) < shownCommands_.size()) completeCommand(shownCommands_[static_cast<std::size_t>(i)]);
    });
    // A few rows at a time: an agent may offer dozens.
    commandsScroller_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    commandsScroller_.set_propagate_natural_height(true);
    commandsScroller_.set_max_content_height(300);
    commandsScroller_.set_size_request(380, -1);
    commandsScroller_.set_child(commandsList_);
    commands_.set_child(commandsScroller_);
    commands_.set_parent(*editorScroller_);
    bind::to(*this, model_.requests().draftPrompt, [this](const auto&) { showCommands(); });
    bind::to(*this, model_.runtimes().commands, [this](const auto&) { showCommands(); });

    bind::to(*this, model_.requests().planModeEnabled, [this](bool on) { buildFeature_->set_visible(on); });

    bind::to(*this, model_.runtimes().modelLabel, [this](const std::string& label) {
        modelText_->set_text(label);
        modelMenu_->set_label(label);
        setAccessibleLabel(*modelMenu_, std::string(_("Agent runtime: ")) + label);
    });
    bind::to(*this, model_.runtimes().availableAgentRuntimes, [this](const auto&) { showRuntimes(); });

    bind::to(*this, model_.requests().isSending, [this](const auto&) { showSendButton(); });

    bind::to(*this, model_.selection().selectedInspectTargets, [this](const auto&) { showPills(); });
}

Composer::~Composer() { commands_.unparent(); }

void Composer::showCommands() {
    const std::string& draft = *model_.requests().draftPrompt;
    std::vector<const AgentCommand*> matches;
    // Only the first word of a request that starts with "/" is a command.
    if (draft.starts_with('/') && draft.find_first_of(" \t\n") == std::string::npos && draft != dismissedFor_) {
        const std::string typed = text::toLower(draft.substr(1));
        for (const auto& command : *model_.runtimes().commands) {
            if (text::toLower(command.name).starts_with(typed) && matches.size() < 50) matches.push_back(&command);
        }
    }
    if (draft != dismissedFor_) dismissedFor_.clear();
    std::vector<std::string> names;
    for (const auto* m : matches) names.push_back(m->name);
    if (names != shownCommands_) {
        shownCommands_ = names;
        while (auto* row = commandsList_.get_row_at_index(0)) commandsList_.remove(*row);
        for (const auto* m : matches) {
            auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 2);
            box->set_margin(6);
            auto* name = Gtk::make_managed<Gtk::Label>("/" + m->name + (m->hint.empty() ? "" : "  " + m->hint));
            name->set_xalign(0);
            name->set_ellipsize(Pango::EllipsizeMode::END);
            name->set_max_width_chars(44);
            name->add_css_class("tarn-mono");
            box->append(*name);
            if (!m->description.empty()) {
                auto* about = Gtk::make_managed<Gtk::Label>(m->description);
                about->set_xalign(0);
                about->set_ellipsize(Pango::EllipsizeMode::END);
                about->set_max_width_chars(44);
                about->set_tooltip_text(m->description);
                about->add_css_class("caption");
                about->add_css_class("dim-label");
                box->append(*about);
            }
            commandsList_.append(*box);
        }
        if (auto* first = commandsList_.get_row_at_index(0)) commandsList_.select_row(*first);
    }
    if (matches.empty()) commands_.popdown();
    else if (!commands_.get_visible() && editorScroller_->get_mapped()) commands_.popup();
}

std::vector<std::string> Composer::commandChoices() const { return commands_.get_visible() ? shownCommands_ : std::vector<std::string>{}; }

void Composer::completeCommand(const std::string& name) {
    model_.requests().draftPrompt = "/" + name + " ";
    auto buffer = editor_->get_buffer();
    buffer->place_cursor(buffer->end());
    editor_->grab_focus();
}

bool Composer::completeSelectedCommand() {
    auto* row = commandsList_.get_selected_row();
    const int i = row ? row->get_index() : 0;
    if (i < 0 || static_cast<std::size_t>(i) >= shownCommands_.size()) return false;
    completeCommand(shownCommands_[static_cast<std::size_t>(i)]);
    return true;
}

void Composer::moveCommandSelection(int by) {
    auto* row = commandsList_.get_selected_row();
    const int count = static_cast<int>(shownCommands_.size());
    if (count == 0) return;
    const int next = ((row ? row->get_index() : -1) + by + count) % count;
    if (auto* target = commandsList_.get_row_at_index(next)) {
        commandsList_.select_row(*target);
        // Keep the chosen row in sight.
        Gtk::Allocation a = target->get_allocation();
        auto adjustment = commandsScroller_.get_vadjustment();
        if (a.get_y() < adjustment->get_value()) adjustment->set_value(a.get_y());
        else if (a.get_y() + a.get_height() > adjustment->get_value() + adjustment->get_page_size()) {
            adjustment->set_value(a.get_y() + a.get_height() - adjustment->get_page_size());
        }
    }
}

void Composer::showPills() {
    const auto& targets = *model_.selection().selectedInspectTargets;
    while (auto* child = pills_->get_first_child()) pills_->remove(*child);
    for (const auto& target : targets) pills_->append(*Gtk::make_managed<SelectedTargetPillView>(target, false, false, true));
    const bool any = !targets.empty();
    pillsRevealer_->set_reveal_child(any);
    editorScroller_->set_margin_top(any ? 48 : 10);
    setRingActive(any);
}

void Composer::showSendButton() {
    // Send while idle (enabled by its action when there is something to send), Stop while a request runs.
    const bool stop = *model_.requests().isSending;
    if (send_->get_child() && stop == stopMode_) return;
    stopMode_ = stop;
    auto* icon = Gtk::make_managed<Gtk::Image>();
    icon->set_from_icon_name(stopMode_ ? "media-playback-stop-symbolic" : "tarn-arrow-up-symbolic");
    icon->set_pixel_size(14);
    send_->set_child(*icon);
    send_->set_action_name(stopMode_ ? "win.stop-request" : "win.send-prompt");
    const char* label = stopMode_ ? _("Stop request") : _("Send");
    send_->set_tooltip_text(label);
    setAccessibleLabel(*send_, label);
}

void Composer::showRuntimes() {
    const auto& available = *model_.runtimes().availableAgentRuntimes;
    picker_->set_visible_child(available.size() < 2 ? "text" : "menu");
    // A radio item per runtime, on the window's stateful action: the mark follows the choice.
    auto menu = Gio::Menu::create();
    for (AgentRuntime runtime : available) {
        auto item = Gio::MenuItem::create(displayName(runtime), "");
        item->set_action_and_target("win.agent-runtime", Glib::Variant<Glib::ustring>::create(id(runtime)));
        menu->append_item(item);
    }
    modelMenu_->set_menu_model(menu);
}

void Composer::pulse() {
    // Up on a spring, then 0.36 s later back down over 0.24 s.
    ++pulsesStarted_;
    pulse_.springTo(1.0, motion::selectionPulse);
    Glib::signal_timeout().connect_once(sigc::track_obj([this] { pulse_.easeTo(0.0, std::chrono::milliseconds(240), ADW_EASE_OUT_CUBIC); }, *this), 360);
}

void Composer::showPulse(double level) {
    GlowFrame::Style style;
    style.radius = 18;
    style.fill = {"tarn_composer_bg", 0.96};
    style.outline = {"tarn_composer_outline"};
    style.outlineWidth = 1;
    const double p = std::clamp(level, 0.0, 1.0);
    // The shadow turns from the card's own (radius 10, 4 down) into the glow (radius 14, 6 down).
    style.shadows = {{{"tarn_composer_shadow", 1 - p}, 10, 4}, {{"tarn_glow_1", 0.18 * p}, 14, 6}};
    style.ring = {{"tarn_glow_1", 0.18}, {"tarn_glow_2", 0.68}, {"tarn_glow_1", 0.20}, {"tarn_glow_2", 0.14}};
    style.ringWidth = 1.2 + 0.6 * p;
    setStyle(style);
    setScale(1.0 + 0.008 * level);
}

}  // namespace tarn
