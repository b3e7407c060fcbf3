#pragma once
#include "model/AgentPermission.h"
#include "support/Uuid.h"

#include <gtkmm/box.h>
#include <gtkmm/label.h>

namespace tarn {

// An agent's question before it acts, inside its chat message: exactly what it would do (the
// command line, the files and the change), and its own answers as buttons on the window's
// `win.answer-permission` action. Once answered, the buttons give way to the answer.
class PermissionCard : public Gtk::Box {
public:
    PermissionCard();
    void show(const Uuid& message, const PermissionRequest& request);

    // What the card offers, for tests: the buttons' labels, or the answer once given.
    std::vector<std::string> choices() const;
    std::string answerText() const { return answer_->get_text(); }

    // The change, as the lines it takes out and puts in, the first few of each.
    static std::string diffText(const StepDiff& diff, std::size_t limit = 12);
    // The same, a label a line, coloured as a diff is: what goes out red, what comes in green.
    static void fillDiff(Gtk::Box& box, const std::vector<StepDiff>& diffs, std::size_t limit = 12);

private:
    // From permission-card.ui.
    Gtk::Label *title_ = nullptr, *command_ = nullptr, *places_ = nullptr, *answer_ = nullptr;
    Gtk::Box *diff_ = nullptr, *buttons_ = nullptr;
};

}  // namespace tarn
