#pragma once
#include "preview/PreviewCoordinator.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
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

private:
    AppViewModel& model_;
    std::unique_ptr<PreviewCoordinator> coordinator_;
};

}  // namespace tarn
