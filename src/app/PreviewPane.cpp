#include "app/PreviewPane.h"

#include "app/Bind.h"
#include "app/Buttons.h"
#include "app/PreviewModule.h"
#include "support/Task.h"
#include "support/Trace.h"

#include <adwaita.h>
#include <gtkmm/builder.h>
#include <gtkmm/overlay.h>
#include <glib/gi18n-lib.h>

namespace tarn {

PreviewPane::PreviewPane(AppViewModel& model) : Gtk::Box(Gtk::Orientation::VERTICAL), model_(model) {
    add_css_class("tarn-preview-frame");
    set_overflow(Gtk::Overflow::HIDDEN);
    set_hexpand(true);
    set_vexpand(true);
    auto builder = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/preview-pane.ui");
    notice_ = GTK_WIDGET(builder->get_object("notice")->gobj());
    spinner_ = builder->get_widget<Gtk::Spinner>("spinner");
    startServer_ = builder->get_widget<Gtk::Button>("start-server");
    // At a device's width the page is that wide, centred in the pane.
    clamp_ = GTK_WIDGET(builder->get_object("clamp")->gobj());
    bind::to(*this, model_.browser().deviceWidth, [this](DeviceWidth width) {
        const int pixels = pixelsOf(width);
        adw_clamp_set_maximum_size(ADW_CLAMP(clamp_), pixels > 0 ? pixels : 1 << 20);
        adw_clamp_set_tightening_threshold(ADW_CLAMP(clamp_), pixels > 0 ? pixels : 1 << 20);
        if (preview_) markDevice();
    });
    append(*builder->get_widget<Gtk::Overlay>("overlay"));
    bind::pulls(*this, model_.browser().previewNotice, [this] { showNotice(); });
    bind::pulls(*this, model_.server().serverState, [this] { showNotice(); });
    showNotice();
    model_.browser().attach(this);
    // The engine is opened on a worker while the first frame is drawn.
    add_tick_callback([this](const Glib::RefPtr<Gdk::FrameClock>&) {
        arriveSoon();
        return false;
    });
}

void PreviewPane::arriveSoon() {
    if (preview_ || !engineError_.empty()) return;
    trace::mark("preview: opening the engine");
    spawn([](PreviewPane* self, std::weak_ptr<bool> alive) -> Task<void> {
        co_await inBackground([] {
            preview_module::open();
            trace::mark("preview: engine opened");
        });
        if (!alive.expired()) self->preview();
    }(this, alive_));
}

Preview* PreviewPane::preview() {
    if (!preview_ && engineError_.empty()) {
        auto made = preview_module::make(engineError_);
        arrive(std::move(made));
    }
    return preview_.get();
}

void PreviewPane::arrive(std::unique_ptr<Preview> preview) {
    if (!preview) {
        trace::mark("preview: no engine");
        showNotice();
        return;
    }
    preview_ = std::move(preview);
    trace::mark("preview: engine in");
    Gtk::Widget* view = Glib::wrap(preview_->widget());
    setAccessibleLabel(*view, _("Preview of the running app"));
    adw_clamp_set_child(ADW_CLAMP(clamp_), preview_->widget());
    markDevice();

    AppViewModel* controller = &model_;
    preview_->console.connect([controller](const BrowserConsoleEntry& entry) { controller->browser().appendConsoleEntry(entry); });
    preview_->inspected.connect([controller](const InspectTarget& target) { controller->handleInspectSelection(target); });
    preview_->routeChanged.connect([controller](const std::string& route) { controller->browser().routeLabel = route; });
    preview_->loadEnded.connect([controller](const PreviewLoad& load) { controller->browser().loadEnded(load); });
    bind::to(*this, model_.selection().inspectModeEnabled, [this](bool on) { preview_->setInspectMode(on); });
    bind::to(*this, model_.selection().selectedInspectTargets, [this](const std::vector<InspectTarget>& targets) {
        std::vector<std::string> keys;
        for (const auto& target : targets) keys.push_back(target.selectionKey);
        preview_->setSelections(std::move(keys));
    });
    if (auto address = std::exchange(pendingLoad_, std::nullopt)) preview_->load(*address);
    else if (std::exchange(pendingWarmUp_, false)) preview_->warmUp();
}

void PreviewPane::markDevice() {
    if (pixelsOf(*model_.browser().deviceWidth) > 0) gtk_widget_add_css_class(preview_->widget(), "tarn-device");
    else gtk_widget_remove_css_class(preview_->widget(), "tarn-device");
}

void PreviewPane::load(const Url& address) {
    if (preview_) preview_->load(address);
    else pendingLoad_ = address;
}

void PreviewPane::reload() {
    // Before the preview arrives, the load it will make is the reload.
    if (preview_) preview_->reload();
}

void PreviewPane::warmUp() {
    if (preview_) preview_->warmUp();
    else pendingWarmUp_ = true;
}

// Nothing is tried on a page that is not there yet.
void PreviewPane::tryStyle(const std::string& key, const std::string& property, const std::string& value) {
    if (preview_) preview_->tryStyle(key, property, value);
}

void PreviewPane::takeBackStyles() {
    if (preview_) preview_->takeBackStyles();
}

std::string PreviewPane::noticeTitle() const {
    const char* title = adw_status_page_get_title(ADW_STATUS_PAGE(notice_));
    return title ? title : "";
}

void PreviewPane::showNotice() {
    auto* page = ADW_STATUS_PAGE(notice_);
    if (!engineError_.empty()) {
        gtk_widget_set_visible(notice_, true);
        adw_status_page_set_title(page, _("The preview cannot be shown"));
        adw_status_page_set_description(page, engineError_.c_str());
        spinner_->stop();
        spinner_->set_visible(false);
        startServer_->set_visible(false);
        return;
    }
    const PreviewNotice notice = *model_.browser().previewNotice;
    gtk_widget_set_visible(notice_, notice != PreviewNotice::none);
    const std::string address = model_.browser().currentURL->has_value() ? (*model_.browser().currentURL)->string() : std::string();
    if (notice == PreviewNotice::waitingForServer) {
        adw_status_page_set_title(page, _("Waiting for the dev server…"));
        const std::string detail = address.empty() ? "" : Glib::ustring::compose(_("The page at %1 shows as soon as the server answers."), address);
        adw_status_page_set_description(page, detail.c_str());
        spinner_->set_visible(true);
        spinner_->start();
        startServer_->set_visible(false);
    } else if (notice == PreviewNotice::serverNotRunning) {
        const ServerRuntimeState& state = *model_.server().serverState;
        adw_status_page_set_title(page, _("The dev server is not running"));
        const std::string detail = state.kind() == ServerRuntimeState::Kind::failed && !state.message().empty()
                                       ? state.message()
                                       : std::string(Glib::ustring::compose(_("Nothing answers at %1. Start the server to see the app."), address));
        adw_status_page_set_description(page, detail.c_str());
        spinner_->stop();
        spinner_->set_visible(false);
        startServer_->set_visible(true);
    } else {
        spinner_->stop();
    }
}

PreviewPane::~PreviewPane() { model_.browser().attach(nullptr); }

}  // namespace tarn
