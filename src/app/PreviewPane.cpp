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
    value.onLoad = [model](const PreviewLoad& load) { model->previewLoadEnded(load); };
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
    overlay_.set_child(*view);
    overlay_.set_hexpand(true);
    overlay_.set_vexpand(true);
    append(overlay_);

    notice_.add_css_class("tarn-preview-notice");
    notice_.set_hexpand(true);
    notice_.set_vexpand(true);
    auto* centre = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 10);
    centre->set_valign(Gtk::Align::CENTER);
    centre->set_halign(Gtk::Align::CENTER);
    centre->set_vexpand(true);
    spinner_.set_size_request(24, 24);
    noticeTitle_.add_css_class("title-3");
    noticeDetail_.add_css_class("dim-label");
    noticeDetail_.set_wrap(true);
    noticeDetail_.set_max_width_chars(60);
    noticeDetail_.set_justify(Gtk::Justification::CENTER);
    startServer_.set_action_name("win.start-server");
    startServer_.set_halign(Gtk::Align::CENTER);
    startServer_.add_css_class("pill");
    for (Gtk::Widget* w : std::initializer_list<Gtk::Widget*>{&spinner_, &noticeTitle_, &noticeDetail_, &startServer_}) centre->append(*w);
    notice_.append(*centre);
    overlay_.add_overlay(notice_);
    bind::pulls(*this, model_.previewNotice, [this] { showNotice(); });
    bind::pulls(*this, model_.serverState, [this] { showNotice(); });
    showNotice();

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

void PreviewPane::showNotice() {
    const PreviewNotice notice = *model_.previewNotice;
    notice_.set_visible(notice != PreviewNotice::none);
    const std::string address = model_.currentURL->has_value() ? (*model_.currentURL)->string() : std::string();
    if (notice == PreviewNotice::waitingForServer) {
        noticeTitle_.set_text("Waiting for the dev server\u2026");
        noticeDetail_.set_text(address.empty() ? "" : "The page at " + address + " shows as soon as the server answers.");
        spinner_.set_visible(true);
        spinner_.start();
        startServer_.set_visible(false);
    } else if (notice == PreviewNotice::serverNotRunning) {
        const ServerRuntimeState& state = *model_.serverState;
        noticeTitle_.set_text("The dev server is not running");
        noticeDetail_.set_text(state.kind() == ServerRuntimeState::Case::failed && !state.message().empty()
                                   ? state.message()
                                   : "Nothing answers at " + address + ". Start the server to see the app.");
        spinner_.stop();
        spinner_.set_visible(false);
        startServer_.set_visible(true);
    } else {
        spinner_.stop();
    }
}

PreviewPane::~PreviewPane() { coordinator_->dismantleView(); }

}  // namespace tarn
