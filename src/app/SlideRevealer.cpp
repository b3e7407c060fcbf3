#include "app/SlideRevealer.h"

#include <algorithm>
#include <cmath>
#include <gtk/gtk.h>
#include <gtkmm/snapshot.h>

namespace tarn {

SlideRevealer::SlideRevealer(Edge edge, bool revealed)
    : Glib::ObjectBase("TarnSlideRevealer"),
      edge_(edge),
      revealed_(revealed),
      progress_(revealed ? 1.0 : 0.0),
      animator_(*this, revealed ? 1.0 : 0.0, [this](double p) { setProgress(p); }) {
    set_overflow(Gtk::Overflow::HIDDEN);
}

SlideRevealer::~SlideRevealer() {
    // The child may be gone already (a member of a derived class): unparent what is really there.
    while (auto* child = get_first_child()) child->unparent();
}

void SlideRevealer::setChild(Gtk::Widget& child) {
    while (auto* old = get_first_child()) old->unparent();
    child.set_parent(*this);
    child.set_child_visible(progress_ > 0);
}

void SlideRevealer::setRevealed(bool revealed, motion::Spring spring) {
    if (revealed == revealed_) return;
    revealed_ = revealed;
    animator_.springTo(revealed ? 1.0 : 0.0, spring);
}

void SlideRevealer::setProgress(double progress) {
    // A spring may overshoot a little; the space taken never does.
    progress_ = std::clamp(progress, 0.0, 1.0);
    if (child()) child()->set_child_visible(progress_ > 0.001 || revealed_);
    queue_resize();
}

Gtk::SizeRequestMode SlideRevealer::get_request_mode_vfunc() const {
    return child() ? child()->get_request_mode() : Gtk::SizeRequestMode::CONSTANT_SIZE;
}

void SlideRevealer::measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                                  int& minimumBaseline, int& naturalBaseline) const {
    minimum = natural = 0;
    minimumBaseline = naturalBaseline = -1;
    if (!child()) return;
    const bool sliding = (orientation == Gtk::Orientation::VERTICAL) == slidesVertically();
    child()->measure(orientation, sliding ? -1 : forSize, minimum, natural, minimumBaseline, naturalBaseline);
    minimumBaseline = naturalBaseline = -1;
    if (sliding) {
        minimum = static_cast<int>(std::ceil(minimum * progress_));
        natural = static_cast<int>(std::ceil(natural * progress_));
    }
}

void SlideRevealer::size_allocate_vfunc(int width, int height, int) {
    if (!child() || !child()->get_child_visible()) return;
    int minimum = 0, natural = 0, ignored = 0;
    Gtk::Allocation allocation;
    if (slidesVertically()) {
        child()->measure(Gtk::Orientation::VERTICAL, width, minimum, natural, ignored, ignored);
        const int full = std::max(natural, height);
        // From the top: the child's bottom edge shows first; from the bottom, its top edge.
        allocation = Gtk::Allocation(0, edge_ == Edge::top ? height - full : 0, width, full);
    } else {
        child()->measure(Gtk::Orientation::HORIZONTAL, height, minimum, natural, ignored, ignored);
        const int full = std::max(natural, width);
        allocation = Gtk::Allocation(0, 0, full, height);
    }
    child()->size_allocate(allocation, -1);
}

void SlideRevealer::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
    if (!child() || progress_ <= 0.001) return;
    GtkSnapshot* s = snapshot->gobj();
    gtk_snapshot_push_opacity(s, progress_);
    snapshot_child(*child(), snapshot);
    gtk_snapshot_pop(s);
}

}  // namespace tarn
