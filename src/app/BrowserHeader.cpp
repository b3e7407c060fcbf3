#include "app/BrowserHeader.h"

#include "app/Bind.h"
#include "app/Icons.h"

#include <gtkmm/image.h>

namespace tarn {

void makeIconButton(Gtk::Button& button, const std::string& symbol, const std::string& help,
                    const std::string& action) {
    button.set_icon_name(icons::named(symbol));
    button.set_tooltip_text(help);
    setAccessibleLabel(button, help);
    button.set_action_name(action);
}

std::string BrowserHeader::serverText(const ServerRuntimeState& state) {
    switch (state.kind()) {
        case ServerRuntimeState::Case::idle: return "Idle";
        case ServerRuntimeState::Case::starting: return "Starting";
        case ServerRuntimeState::Case::running: return "Running";
        case ServerRuntimeState::Case::stopped: return "Stopped";
        case ServerRuntimeState::Case::failed: return "Failed";
    }
    return {};
}

std::string BrowserHeader::summaryOf(const InspectTarget& target) {
    return target.componentGuess + "  " + (target.fileGuess.empty() ? "unresolved-file" : target.fileGuess);
}

BrowserHeader::BrowserHeader(AppViewModel& model, std::function<void()> openChangeDescription)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 8), model_(model), openChangeDescription_(std::move(openChangeDescription)) {
    append(stack_);
    append(server_);
    append(route_);
    bind::to(*this, model_.stackLabel, [this](const std::string& s) { stack_.setValue(s); });
    bind::to(*this, model_.serverState, [this](const ServerRuntimeState& s) {
        server_.setValue(serverText(s));
        server_.set_tooltip_text(s.kind() == ServerRuntimeState::Case::failed ? s.message() : serverText(s));
    });
    bind::to(*this, model_.routeLabel, [this](const std::string& s) { route_.setValue(s); });

    selection_.add_css_class("tarn-selection-block");
    selection_.set_valign(Gtk::Align::CENTER);
    auto* inspectTitle = Gtk::make_managed<Gtk::Label>("Inspect");
    inspectTitle->add_css_class("tarn-caption2");
    inspectTitle->add_css_class("tarn-secondary");
    inspectTitle->set_xalign(0);
    summary_.add_css_class("caption");
    summary_.add_css_class("tarn-mono");
    summary_.set_xalign(0);
    summary_.set_single_line_mode(true);
    summary_.set_ellipsize(Pango::EllipsizeMode::MIDDLE);
    summary_.set_max_width_chars(26);
    selection_.append(*inspectTitle);
    selection_.append(summary_);
    append(selection_);
    badge_.add_css_class("tarn-caption2");
    badge_.add_css_class("tarn-count-badge");
    badge_.set_valign(Gtk::Align::CENTER);
    append(badge_);
    inlineEdit_.set_valign(Gtk::Align::CENTER);
    inlineEdit_.signal_clicked().connect([this] {
        if (!*model_.selectedInspectTarget) return;
        model_.inlineTextDraft = (*model_.selectedInspectTarget)->textSnippet;
        model_.showInlineEditSheet = true;
    });
    append(inlineEdit_);
    changeDescription_.set_valign(Gtk::Align::CENTER);
    changeDescription_.signal_clicked().connect([this] {
        if (openChangeDescription_) openChangeDescription_();
    });
    append(changeDescription_);
    bind::to(*this, model_.selectedInspectTarget, [this](const auto&) { showSelection(); });
    bind::to(*this, model_.selectedInspectTargets, [this](const auto&) { showSelection(); });

    auto* spacer = Gtk::make_managed<Gtk::Box>();
    spacer->set_hexpand(true);
    append(*spacer);
    for (auto* button : {&inspect_, &copy_, &expand_}) {
        button->add_css_class("tarn-header-button");
        button->set_valign(Gtk::Align::CENTER);
        append(*button);
    }
    makeIconButton(inspect_, "cursorarrow", "Inspect", "win.toggle-inspect");
    makeIconButton(copy_, "doc.on.doc", "Copy Console", "win.copy-logs");
    makeIconButton(expand_, "arrow.up.left.and.arrow.down.right", "Expand Browser", "win.toggle-expanded");
    bind::styleWhile(inspect_, model_.inspectModeEnabled, "tarn-inspect-on");
}

void BrowserHeader::showSelection() {
    const auto& target = *model_.selectedInspectTarget;
    const bool any = target.has_value();
    selection_.set_visible(any);
    changeDescription_.set_visible(any);
    const std::size_t count = model_.selectedInspectTargets->size();
    badge_.set_visible(any && count >= 2);
    badge_.set_text("+" + std::to_string(count > 0 ? count - 1 : 0));
    inlineEdit_.set_visible(any && !target->textSnippet.empty());
    if (any) {
        summary_.set_text(summaryOf(*target));
        summary_.set_tooltip_text(summaryOf(*target));
    }
}

}  // namespace tarn
