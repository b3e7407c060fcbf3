#include "app/PreviewPane.h"

#include "app/Bind.h"
#include "app/Buttons.h"

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
    Gtk::Widget* view = Glib::wrap(preview_.widget());
    setAccessibleLabel(*view, _("Preview of the running app"));
    // At a device's width the page is that wide, centred in the pane.
    GtkWidget* clamp = GTK_WIDGET(builder->get_object("clamp")->gobj());
    adw_clamp_set_child(ADW_CLAMP(clamp), GTK_WIDGET(view->gobj()));
    bind::to(*this, model_.browser().deviceWidth, [view, clamp](DeviceWidth width) {
        const int pixels = pixelsOf(width);
        adw_clamp_set_maximum_size(ADW_CLAMP(clamp), pixels > 0 ? pixels : 1 << 20);
        adw_clamp_set_tightening_threshold(ADW_CLAMP(clamp), pixels > 0 ? pixels : 1 << 20);
        if (pixels > 0) view->add_css_class("tarn-device");
        else view->remove_css_class("tarn-device");
    });
    append(*builder->get_widget<Gtk::Overlay>("overlay"));
    bind::pulls(*this, model_.browser().previewNotice, [this] { showNotice(); });
    bind::pulls(*this, model_.server().serverState, [this] { showNotice(); });
    showNotice();

    AppViewModel* controller = &model_;
    preview_.console.connect([controller](const BrowserConsoleEntry& entry) { controller->browser().appendConsoleEntry(entry); });
    preview_.inspected.connect([controller](const InspectTarget& target) { controller->handleInspectSelection(target); });
    preview_.routeChanged.connect([controller](const std::string& route) { controller->browser().routeLabel = route; });
    preview_.loadEnded.connect([controller](const PreviewLoad& load) { controller->browser().loadEnded(load); });
    bind::to(*this, model_.selection().inspectModeEnabled, [this](bool on) { preview_.setInspectMode(on); });
    bind::to(*this, model_.selection().selectedInspectTargets, [this](const std::vector<InspectTarget>& targets) {
        std::vector<std::string> keys;
        for (const auto& target : targets) keys.push_back(target.selectionKey);
        preview_.setSelections(std::move(keys));
    });
    model_.browser().attach(this);
}

std::string PreviewPane::noticeTitle() const {
    const char* title = adw_status_page_get_title(ADW_STATUS_PAGE(notice_));
    return title ? title : "";
}

void PreviewPane::showNotice() {
    const PreviewNotice notice = *model_.browser().previewNotice;
    gtk_widget_set_visible(notice_, notice != PreviewNotice::none);
    auto* page = ADW_STATUS_PAGE(notice_);
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
