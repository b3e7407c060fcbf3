#include "app/ContentView.h"

#include "app/Bind.h"

#include <glib/gi18n-lib.h>

namespace tarn {

ContentView::ContentView(std::shared_ptr<AppViewModel> viewModel, Gtk::Window& window)
    : Gtk::Paned(Gtk::Orientation::HORIZONTAL), viewModel_(std::move(viewModel)), browser_(*viewModel_), agent_(*viewModel_), window_(window) {
    add_css_class("tarn-content");
    set_wide_handle(false);
    browser_.set_margin(12);
    browser_.set_size_request(560, 400);
    agent_.set_margin_top(12);
    agent_.set_margin_bottom(12);
    agent_.set_margin_end(12);
    set_start_child(browser_);
    set_end_child(agent_);
    set_resize_start_child(true);
    set_shrink_start_child(false);
    set_resize_end_child(false);
    set_shrink_end_child(false);

    AppViewModel& model = *viewModel_;
    auto placeAgent = [this] {
        const bool shown = *showAgentColumn && !*viewModel_->isBrowserExpanded;
        agent_.set_visible(shown);
    };
    bind::pulls(*this, showAgentColumn, placeAgent);
    bind::pulls(*this, model.isBrowserExpanded, placeAgent);
    placeAgent();
    // The agent column takes its usual width the first time the window is laid out; the handle
    // moves it after that.
    signal_realize().connect([this] {
        add_tick_callback([this](const Glib::RefPtr<Gdk::FrameClock>&) {
            if (placed_ || get_width() <= 0) return !placed_;
            placed_ = true;
            set_position(std::max(get_width() - agentColumnWidth - 12, 0));
            return false;
        });
    });
    // A new element in the selection makes the composer pulse.
    model.inspectSelectionPulseToken.observe(sigc::track_obj([this] { agent_.composer().pulse(); }, *this));

    inlineEdit_ = std::make_unique<EditDialog>(window, model.showInlineEditSheet, model.inlineTextDraft, _("Inline Text Edit"),
                                               _("Applies a minimal source edit based on the currently selected element."),
                                               _("_Apply"), 520, 120, [&model] { spawn(model.submitInlineEdit()); });
    inlineEdit_->showNotice(model.inlineEditNotice);
    changeDescription_ = std::make_unique<EditDialog>(
        window, model.showChangeDescriptionSheet, model.changeDescriptionDraft, _("Change Description"),
        _("Describe the UI change and the agent will plan and apply it."), _("_Run Agent"), 560, 140,
        [&model] { spawn(model.submitChangeDescription()); });
    versions_ = std::make_unique<VersionsWindow>(window, model, showVersionManager);
    review_ = std::make_unique<ReviewDialog>(window, model);
}

PreferencesWindow& ContentView::preferences() {
    if (!preferences_) preferences_ = std::make_unique<PreferencesWindow>(window_, *viewModel_);
    return *preferences_;
}

ContentView::~ContentView() {
    preferences_.reset();
    versions_->destroy();
    review_->destroy();
}

}  // namespace tarn
