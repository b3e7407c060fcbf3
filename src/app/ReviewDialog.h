#pragma once
#include "support/GObjectPtr.h"
#include "workspace/ProjectHistory.h"

#include <gtkmm/listbox.h>
#include <gtkmm/window.h>
#include <gtksourceview/gtksource.h>

namespace tarn {

// What one reply changed, as a dialog of the main window: its files in a list beside the unified
// diff of the one chosen, coloured, with their added and removed lines. Shown while the controller
// holds a review; closing it (Escape, the close button) ends the review.
class ReviewDialog : public Gtk::Window {
public:
    ReviewDialog(Gtk::Window& parent, ProjectHistory& history);

    Gtk::ListBox& files() { return *files_; }
    // The files listed (path and diff), and the text the diff view shows, for tests.
    const std::vector<ChangeReview::File>& listed() const { return listed_; }
    std::string shownDiff() const;

private:
    void show(const ChangeReview& review);
    void choose(int index);

    ProjectHistory& history_;
    GtkWidget* title_;          // owned by the header bar
    GObjectPtr<GtkSourceBuffer> buffer_;
    Gtk::ListBox* files_;  // from review-dialog.ui
    std::vector<ChangeReview::File> listed_;
};

}  // namespace tarn
