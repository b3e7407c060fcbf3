#pragma once
#include "app/GlowFrame.h"
#include "app/Motion.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/listbox.h>
#include <gtkmm/popover.h>
#include <gtkmm/menubutton.h>
#include <gtkmm/revealer.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/stack.h>
#include <gtkmm/textview.h>

namespace tarn {

// Where the user writes to the agent: the selected elements as removable pills, the prompt, and a
// bar with "Build Feature" (plan mode), the runtime picker and the send button, which turns into a
// Stop button while a request runs. Every control is a window action.
class Composer : public GlowFrame {
public:
    explicit Composer(AppViewModel& model);
    ~Composer() override;

    // The short pulse after a new selection: a brighter ring, a deeper shadow, a slight scale.
    void pulse();
    double pulseLevel() const { return pulse_.value(); }
    // How many pulses have started: a test checks that one starts, not a level it passes through.
    int pulsesStarted() const { return pulsesStarted_; }
    double pulseTarget() const { return pulse_.target(); }

    Gtk::TextView& editor() { return *editor_; }
    Gtk::Button& sendButton() { return *send_; }
    Gtk::Button& buildFeatureButton() { return *buildFeature_; }
    bool pickerIsMenu() const { return picker_->get_visible_child_name() == "menu"; }
    const Gtk::Label& modelText() const { return *modelText_; }
    Gtk::MenuButton& runtimeMenu() { return *modelMenu_; }
    Gtk::Box& pills() { return *pills_; }
    bool sendMeansStop() const { return stopMode_; }

    static bool canSend(const std::string& draft);
    // The agent's commands offered for what is typed after "/" ("/review"); empty when none show.
    std::vector<std::string> commandChoices() const;
    // Puts "/name " in the prompt, ready for the rest of the request.
    void completeCommand(const std::string& name);

private:
    void showPills();
    void showSendButton();
    void showRuntimes();
    void showPulse(double level);
    void showCommands();
    // The command row chosen by the keyboard, or the first.
    bool completeSelectedCommand();
    void moveCommandSelection(int by);

    AppViewModel& model_;
    // From composer.ui, owned by the frame.
    Gtk::ScrolledWindow* editorScroller_;
    Gtk::TextView* editor_;
    Gtk::Revealer* pillsRevealer_;
    Gtk::Box* pills_;
    Gtk::Button* buildFeature_;
    Gtk::Stack* picker_;
    Gtk::Label* modelText_;
    Gtk::MenuButton* modelMenu_;
    Gtk::Button* send_;
    bool stopMode_ = false;
    // The agent's commands, above the prompt while "/name" is typed; Escape puts them away until
    // the text changes.
    Gtk::Popover commands_;
    Gtk::ScrolledWindow commandsScroller_;
    Gtk::ListBox commandsList_;
    std::vector<std::string> shownCommands_;
    std::string dismissedFor_;
    motion::Animator pulse_;
    int pulsesStarted_ = 0;
};

}  // namespace tarn
