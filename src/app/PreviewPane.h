#pragma once
#include "preview/PreviewCoordinator.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
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
    Gtk::Box& notice() { return notice_; }
    Gtk::Label& noticeTitle() { return noticeTitle_; }

private:
    void showNotice();

    AppViewModel& model_;
    Gtk::Overlay overlay_;
    Gtk::Box notice_{Gtk::Orientation::VERTICAL, 10};
    Gtk::Spinner spinner_;
    Gtk::Label noticeTitle_;
    Gtk::Label noticeDetail_;
    Gtk::Button startServer_{"Start Server"};
    std::unique_ptr<PreviewCoordinator> coordinator_;
};

}  // namespace tarn
