#pragma once
#include "preview/PreviewCoordinator.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/overlay.h>
#include <gtkmm/spinner.h>
#include <memory>

namespace tarn {

// The running app, in a rounded frame: the web view that follows the controller's address,
// tokens, inspect mode and selection, and reports console lines, routes and inspect clicks back.
class PreviewPane : public Gtk::Box {
public:
    explicit PreviewPane(AppViewModel& model);
    ~PreviewPane() override;

    PreviewCoordinator& coordinator() { return *coordinator_; }
    WebKitWebView* webView() const { return coordinator_->webView(); }
    AppWebView currentValue() const;

    // Shown over the page while the dev server cannot give one: waiting for it, or not running.
    bool noticeShown() const { return gtk_widget_get_visible(notice_); }
    std::string noticeTitle() const;

private:
    void showNotice();

    AppViewModel& model_;
    Gtk::Overlay overlay_;
    GtkWidget* notice_;  // a status page
    Gtk::Box noticeChild_{Gtk::Orientation::VERTICAL, 10};
    Gtk::Spinner spinner_;
    Gtk::Button startServer_;
    std::unique_ptr<PreviewCoordinator> coordinator_;
};

}  // namespace tarn
