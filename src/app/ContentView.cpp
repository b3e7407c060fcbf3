#include "app/ContentView.h"

#include "app/Bind.h"
#include "app/Buttons.h"

#include <glib/gi18n-lib.h>

namespace tarn {

ContentView::ContentView(std::shared_ptr<AppViewModel> viewModel, Gtk::Window& window)
    : Gtk::Paned(Gtk::Orientation::HORIZONTAL), viewModel_(std::move(viewModel)), browser_(*viewModel_), agent_(*viewModel_), window_(window) {
    add_css_class("tarn-content");
    setAccessibleLabel(*this, _("Preview and Agent"));
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
        const bool shown = *showAgentColumn && !*viewModel_->browser().isBrowserExpanded;
        agent_.set_visible(shown);
    };
    bind::pulls(*this, showAgentColumn, placeAgent);
    bind::pulls(*this, model.browser().isBrowserExpanded, placeAgent);
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
    model.selection().inspectSelectionPulseToken.observe(sigc::track_obj([this] { agent_.composer().pulse(); }, *this));

    // A dialog asked to show before it exists is made then; it shows itself from the flag.
    auto makeWhen = [this](auto& flag, auto make) {
        flag.observe(sigc::track_obj([&flag, make] {
            if (*flag) make();
        }, *this));
    };
    makeWhen(model.selection().showInlineEditor, [this] { inlineEditDialog(); });
    makeWhen(model.requests().showChangeDescription, [this] { changeDescriptionDialog(); });
    makeWhen(showVersionManager, [this] { versionsWindow(); });
    makeWhen(model.history().review, [this] { reviewDialog(); });
}

EditDialog& ContentView::inlineEditDialog() {
    if (!inlineEdit_) {
        AppViewModel& model = *viewModel_;
        inlineEdit_ = std::make_unique<EditDialog>(window_, model.selection().showInlineEditor, model.selection().inlineTextDraft, _("Inline Text Edit"),
                                                   _("Applies a minimal source edit based on the currently selected element."),
                                                   _("_Apply"), 520, 120, [&model] { spawn(model.requests().submitInlineEdit()); });
        inlineEdit_->showNotice(model.selection().inlineEditNotice);
    }
    return *inlineEdit_;
}

EditDialog& ContentView::changeDescriptionDialog() {
    if (!changeDescription_) {
        AppViewModel& model = *viewModel_;
        changeDescription_ = std::make_unique<EditDialog>(
            window_, model.requests().showChangeDescription, model.requests().changeDescriptionDraft, _("Change Description"),
            _("Describe the UI change and the agent will plan and apply it."), _("_Run Agent"), 560, 140,
            [&model] { spawn(model.requests().submitChangeDescription()); });
    }
    return *changeDescription_;
}

VersionsWindow& ContentView::versionsWindow() {
    if (!versions_) versions_ = std::make_unique<VersionsWindow>(window_, *viewModel_, showVersionManager);
    return *versions_;
}

ReviewDialog& ContentView::reviewDialog() {
    if (!review_) review_ = std::make_unique<ReviewDialog>(window_, viewModel_->history());
    return *review_;
}

PreferencesWindow& ContentView::preferences() {
    if (!preferences_) preferences_ = std::make_unique<PreferencesWindow>(window_, *viewModel_);
    return *preferences_;
}

ContentView::~ContentView() {
    preferences_.reset();
    if (versions_) versions_->destroy();
    if (review_) review_->destroy();
}

}  // namespace tarn
