#include "app/PreviewPane.h"

#include "app/Bind.h"
#include "app/Icons.h"

namespace tarn {

AppWebView PreviewPane::currentValue() const {
    AppWebView value;
    value.url = *model_.currentURL;
    value.loadAddressToken = *model_.loadAddressToken;
    value.inspectModeEnabled = *model_.inspectModeEnabled;
    for (const auto& target : *model_.selectedInspectTargets) value.selectedSelectionKeys.push_back(target.selectionKey);
    value.reloadToken = *model_.reloadToken;
    AppViewModel* model = &model_;
    value.onConsole = [model](const BrowserConsoleEntry& entry) { model->appendConsoleEntry(entry); };
    value.onInspect = [model](const InspectTarget& target) { model->handleInspectSelection(target); };
    value.onRoute = [model](const std::string& route) { model->routeLabel = route; };
    return value;
}

PreviewPane::PreviewPane(AppViewModel& model) : Gtk::Box(Gtk::Orientation::VERTICAL), model_(model) {
    add_css_class("tarn-preview-frame");
    set_overflow(Gtk::Overflow::HIDDEN);
    set_hexpand(true);
    set_vexpand(true);
    coordinator_ = std::make_unique<PreviewCoordinator>(currentValue());
    Gtk::Widget* view = Glib::wrap(coordinator_->makeView());
    view->set_hexpand(true);
    view->set_vexpand(true);
    setAccessibleLabel(*view, "Preview of the running app");
    append(*view);

    // Changes come in bursts (an opening sets the address and its token together): the view is
    // brought up to date once for all of them.
    auto trigger = bind::onceInTurn(*this, [this] { coordinator_->updateView(currentValue()); });
    bind::pulls(*this, model_.currentURL, trigger);
    bind::pulls(*this, model_.loadAddressToken, trigger);
    bind::pulls(*this, model_.inspectModeEnabled, trigger);
    bind::pulls(*this, model_.selectedInspectTargets, trigger);
    bind::pulls(*this, model_.reloadToken, trigger);
    trigger();
}

PreviewPane::~PreviewPane() { coordinator_->dismantleView(); }

}  // namespace tarn
