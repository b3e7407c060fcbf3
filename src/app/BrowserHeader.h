#pragma once
#include "app/HeaderChip.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/menubutton.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/togglebutton.h>

namespace tarn {

// The row above the preview: the stack, server and route chips; what is selected in the page with
// the editing buttons; and the inspect, copy and expand buttons.
class BrowserHeader : public Gtk::Box {
public:
    explicit BrowserHeader(AppViewModel& model);

    static std::string serverText(const ServerRuntimeState& state);
    static std::string summaryOf(const InspectTarget& target);
    static std::string deviceName(DeviceWidth width);

    HeaderChip& serverChip() { return server_; }
    HeaderChip& routeChip() { return route_; }
    Gtk::Box& selectionBlock() { return *selection_; }
    Gtk::Label& selectionSummary() { return *summary_; }
    Gtk::Label& countBadge() { return *badge_; }
    Gtk::Button& inlineEditButton() { return *inlineEdit_; }
    Gtk::Button& changeDescriptionButton() { return *changeDescription_; }
    Gtk::MenuButton& styleButton() { return *style_; }
    Gtk::ToggleButton& inspectButton() { return *inspect_; }
    Gtk::MenuButton& deviceButton() { return *device_; }
    Gtk::Button& openSourceButton() { return *openSource_; }

private:
    void showSelection();

    AppViewModel& model_;
    HeaderChip stack_, server_, route_;
    // From browser-header.ui, owned by the row.
    Gtk::Box* selection_;
    Gtk::Label* summary_;
    Gtk::Label* badge_;
    Gtk::Button *inlineEdit_, *changeDescription_, *openSource_;
    Gtk::ToggleButton* inspect_;
    Gtk::MenuButton* device_;
    Gtk::MenuButton* style_;  // the style panel, made when it opens
    Gtk::Image* deviceIcon_;
    Gtk::Label* deviceLabel_;
};

}  // namespace tarn
