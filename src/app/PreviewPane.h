#pragma once
#include "preview/PreviewView.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/spinner.h>

namespace tarn {

// The running app, in a rounded frame: the preview the browser loads pages in, told the inspect
// mode and the selection, reporting console lines, routes, loads and inspect clicks back.
class PreviewPane : public Gtk::Box, private PreviewHost {
public:
    explicit PreviewPane(AppViewModel& model);
    ~PreviewPane() override;

    PreviewView& preview() { return preview_; }
    WebKitWebView* webView() const { return preview_.webView(); }

    // Shown over the page while the dev server cannot give one: waiting for it, or not running.
    bool noticeShown() const { return gtk_widget_get_visible(notice_); }
    std::string noticeTitle() const;

private:
    void load(const Url& address) override { preview_.load(address); }
    void reload() override { preview_.reload(); }
    void warmUp() override { preview_.warmUp(); }
    void tryStyle(const std::string& key, const std::string& property, const std::string& value) override {
        preview_.tryStyle(key, property, value);
    }
    void takeBackStyles() override { preview_.takeBackStyles(); }
    void showNotice();

    AppViewModel& model_;
    PreviewView preview_;
    // From preview-pane.ui, owned by the pane.
    GtkWidget* notice_;  // a status page
    Gtk::Spinner* spinner_;
    Gtk::Button* startServer_;
};

}  // namespace tarn
