#pragma once
#include "preview/Preview.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/spinner.h>

namespace tarn {

// The running app, in a rounded frame: the preview the browser loads pages in, told the inspect
// mode and the selection, reporting console lines, routes, loads and inspect clicks back. The
// web engine arrives after the window's first frame; what the browser asks before is kept for it.
class PreviewPane : public Gtk::Box, private PreviewHost {
public:
    explicit PreviewPane(AppViewModel& model);
    ~PreviewPane() override;

    // The preview, made now if it has not arrived yet; null when the engine cannot be loaded.
    Preview* preview();
    bool engineIn() const { return preview_ != nullptr; }
    // The web view's widget (a WebKitWebView), made now if need be.
    GtkWidget* pageWidget() { return preview() ? preview_->widget() : nullptr; }

    // Shown over the page while the dev server cannot give one: waiting for it, or not running.
    bool noticeShown() const { return gtk_widget_get_visible(notice_); }
    std::string noticeTitle() const;

private:
    void load(const Url& address) override;
    void reload() override;
    void warmUp() override;
    void tryStyle(const std::string& key, const std::string& property, const std::string& value) override;
    void takeBackStyles() override;
    void showNotice();
    // Opens the engine on a worker thread, then makes the preview.
    void arriveSoon();
    void arrive(std::unique_ptr<Preview> preview);
    void markDevice();  // the page's frame at a device's width

    AppViewModel& model_;
    std::unique_ptr<Preview> preview_;
    std::string engineError_;       // why the engine could not be loaded
    std::optional<Url> pendingLoad_;  // asked before the preview arrived
    bool pendingWarmUp_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // expires with the pane, for the worker
    GtkWidget* clamp_;
    // From preview-pane.ui, owned by the pane.
    GtkWidget* notice_;  // a status page
    Gtk::Spinner* spinner_;
    Gtk::Button* startServer_;
};

}  // namespace tarn
