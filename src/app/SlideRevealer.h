#pragma once
#include "app/Motion.h"

#include <gtkmm/widget.h>

namespace tarn {

// Shows or hides its child by sliding it in from an edge while fading it, on a spring. The space
// it takes follows the slide, so the layout around it moves along.
class SlideRevealer : public Gtk::Widget {
public:
    enum class Edge { top, bottom, trailing };

    explicit SlideRevealer(Edge edge, bool revealed = true);
    ~SlideRevealer() override;

    void setChild(Gtk::Widget& child);
    void setRevealed(bool revealed, motion::Spring spring = motion::expandToggle);
    bool isRevealed() const { return revealed_; }
    double progress() const { return progress_; }

protected:
    Gtk::SizeRequestMode get_request_mode_vfunc() const override;
    void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural, int& minimumBaseline,
                       int& naturalBaseline) const override;
    void size_allocate_vfunc(int width, int height, int baseline) override;
    void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;

private:
    Gtk::Widget* child() const { return const_cast<Gtk::Widget*>(get_first_child()); }
    bool slidesVertically() const { return edge_ != Edge::trailing; }
    void setProgress(double progress);

    Edge edge_;
    bool revealed_;
    double progress_;
    motion::Animator animator_;
};

}  // namespace tarn
