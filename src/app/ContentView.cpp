#include "app/ContentView.h"

#include "app/Bind.h"
#include "app/GlowFrame.h"

namespace tarn {

ContentView::ContentView(std::shared_ptr<AppViewModel> viewModel, Gtk::Window& window)
    : Gtk::Box(Gtk::Orientation::VERTICAL),
      viewModel_(std::move(viewModel)),
      topBar_(*viewModel_),
      compactBar_(*viewModel_),
      browser_(*viewModel_, [this] { viewModel_->openChangeDescription(); }),
      agent_(*viewModel_) {
    for (auto* revealer : {&topRevealer_, &compactRevealer_}) {
        revealer->set_margin_start(12);
        revealer->set_margin_end(12);
    }
    topRevealer_.setChild(topBar_);
    compactRevealer_.setChild(compactBar_);
    topBar_.set_margin_top(12);
    compactBar_.set_margin_top(12);
    append(topRevealer_);
    append(compactRevealer_);

    browser_.set_margin(12);
    // Room for the agent column beside it in the smallest window.
    browser_.set_size_request(876, 616);
    agent_.set_margin_top(12);
    agent_.set_margin_bottom(12);
    agent_.set_margin_end(12);
    agentRevealer_.setChild(agent_);
    row_.set_vexpand(true);
    row_.append(browser_);
    row_.append(agentRevealer_);
    append(row_);

    AppViewModel& model = *viewModel_;
    bind::to(*this, model.isBrowserExpanded, [this](bool expanded) {
        topRevealer_.setRevealed(!expanded, motion::windowContent);
        compactRevealer_.setRevealed(expanded, motion::windowContent);
        agentRevealer_.setRevealed(!expanded, motion::windowContent);
    });
    // A new element in the selection makes the composer pulse.
    model.inspectSelectionPulseToken.observe(sigc::track_obj([this] { agent_.composer().pulse(); }, *this));

    inlineEditSheet_ = std::make_unique<InlineEditSheet>(window, model);
    changeDescriptionSheet_ = std::make_unique<ChangeDescriptionSheet>(window, model);
    versionsSheet_ = std::make_unique<VersionsSheet>(window, model, showVersionManager);
}

ContentView::~ContentView() {
    for (Gtk::Window* sheet : {static_cast<Gtk::Window*>(inlineEditSheet_.get()),
                               static_cast<Gtk::Window*>(changeDescriptionSheet_.get()),
                               static_cast<Gtk::Window*>(versionsSheet_.get())}) {
        sheet->destroy();
    }
}


}  // namespace tarn
