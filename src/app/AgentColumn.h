#pragma once
#include "app/Composer.h"
#include "app/RuntimeDetails.h"
#include "app/Transcript.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/switch.h>

#include <memory>

namespace tarn {

// The right-hand column where the user talks to the agent: plan mode, runtime details, the
// chat, the files the last run touched, and the composer. Only its title row is made with the
// window: the rest is made in the idle time after the window's first frame (or when first asked
// for), so the page's column and the header bar reach the screen sooner.
class AgentColumn : public Gtk::Box {
public:
    explicit AgentColumn(AppViewModel& model);

    Gtk::Switch& planModeSwitch() { return *planMode_; }
    RuntimeDetails& details() { return built().details; }
    Transcript& transcript() { return built().transcript; }
    Composer& composer() { return built().composer; }
    Gtk::Box& touchedFiles() { return built().touched; }
    bool isBuilt() const { return parts_ != nullptr; }

private:
    struct Parts {
        explicit Parts(AppViewModel& model);
        RuntimeDetails details;
        Transcript transcript;
        Gtk::Box touched{Gtk::Orientation::VERTICAL, 4};
        Composer composer;
    };
    Parts& built();

    AppViewModel& model_;
    Gtk::Switch* planMode_;  // from agent-header.ui
    std::unique_ptr<Parts> parts_;
};

}  // namespace tarn
