#pragma once
#include "app/HeaderChip.h"
#include "workspace/AppViewModel.h"

#include <functional>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>

namespace tarn {

// The row above the preview: the stack, server and route chips; what is selected in the page with
// the editing buttons; and the inspect, copy and expand buttons.
class BrowserHeader : public Gtk::Box {
public:
    BrowserHeader(AppViewModel& model, std::function<void()> openChangeDescription);

    static std::string serverText(const ServerRuntimeState& state);
    static std::string summaryOf(const InspectTarget& target);

    HeaderChip& serverChip() { return server_; }
    HeaderChip& routeChip() { return route_; }
    Gtk::Box& selectionBlock() { return selection_; }
    Gtk::Label& selectionSummary() { return summary_; }
    Gtk::Label& countBadge() { return badge_; }
    Gtk::Button& inlineEditButton() { return inlineEdit_; }
    Gtk::Button& changeDescriptionButton() { return changeDescription_; }

private:
    void showSelection();

    AppViewModel& model_;
    std::function<void()> openChangeDescription_;
    HeaderChip stack_{"Stack"}, server_{"Server"}, route_{"Route"};
    Gtk::Box selection_{Gtk::Orientation::VERTICAL, 2};
    Gtk::Label summary_;
    Gtk::Label badge_;
    Gtk::Button inlineEdit_{"Inline Edit"};
    Gtk::Button changeDescription_{"Change Description"};
    Gtk::Button inspect_, copy_, expand_;
};

// An icon-only button for a window action, with its tooltip, which is also its accessible label.
void makeIconButton(Gtk::Button& button, const std::string& symbol, const std::string& help,
                    const std::string& action);

}  // namespace tarn
