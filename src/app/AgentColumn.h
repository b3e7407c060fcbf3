#pragma once
#include "app/Composer.h"
#include "app/RuntimeDetails.h"
#include "app/Transcript.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/switch.h>

namespace tarn {

// The right-hand column where the user talks to the agent: plan mode, runtime details, the
// chat, the files the last run touched, and the composer.
class AgentColumn : public Gtk::Box {
public:
    explicit AgentColumn(AppViewModel& model);

    Gtk::Switch& planModeSwitch() { return *planMode_; }
    RuntimeDetails& details() { return details_; }
    Transcript& transcript() { return transcript_; }
    Composer& composer() { return composer_; }
    Gtk::Box& touchedFiles() { return touched_; }

private:
    AppViewModel& model_;
    Gtk::Switch* planMode_;  // from agent-header.ui
    RuntimeDetails details_;
    Transcript transcript_;
    Gtk::Box touched_{Gtk::Orientation::VERTICAL, 4};
    Composer composer_;
};

}  // namespace tarn
