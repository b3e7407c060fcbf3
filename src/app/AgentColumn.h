#pragma once
#include "app/Composer.h"
#include "app/RuntimeDetails.h"
#include "app/Transcript.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/label.h>
#include <gtkmm/switch.h>

namespace tarn {

// The right-hand column where the user talks to the agent: plan mode, runtime details, the
// chat, the files the last run touched, and the composer.
class AgentColumn : public Gtk::Widget {
public:
    explicit AgentColumn(AppViewModel& model);
    ~AgentColumn() override;

    Gtk::Switch& planModeSwitch() { return planMode_; }
    RuntimeDetails& details() { return details_; }
    Transcript& transcript() { return transcript_; }
    Composer& composer() { return composer_; }
    Gtk::Box& touchedFiles() { return touched_; }

protected:
    Gtk::SizeRequestMode get_request_mode_vfunc() const override { return Gtk::SizeRequestMode::HEIGHT_FOR_WIDTH; }
    void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural, int& minimumBaseline,
                       int& naturalBaseline) const override;
    void size_allocate_vfunc(int width, int height, int baseline) override;

private:
    AppViewModel& model_;
    Gtk::Box box_{Gtk::Orientation::VERTICAL};
    Gtk::Switch planMode_;
    RuntimeDetails details_;
    Transcript transcript_;
    Gtk::Box touched_{Gtk::Orientation::VERTICAL, 4};
    Composer composer_;
};

}  // namespace tarn
