#pragma once
#include "support/GObjectPtr.h"

#include <adwaita.h>
#include <chrono>
#include <functional>
#include <gtkmm/widget.h>

// Animation of one value of a widget, on libadwaita's timed and spring animations.
namespace tarn::motion {

// An AdwSpringAnimation's parameters, of a unit mass.
struct Spring {
    double dampingRatio;
    double stiffness;
};

// The springs the window uses: the lower the stiffness, the slower.
inline constexpr Spring expandToggle{0.85, 247};
inline constexpr Spring browserColumn{0.86, 273};
inline constexpr Spring windowContent{0.88, 224};
inline constexpr Spring selectionPulse{0.68, 439};
inline constexpr Spring selectionCount{0.84, 341};

// Drives one value toward targets; a new target starts from wherever the value is now.
class Animator {
public:
    Animator(Gtk::Widget& widget, double initial, std::function<void(double)> step);
    ~Animator();
    Animator(const Animator&) = delete;
    Animator& operator=(const Animator&) = delete;

    void springTo(double target, Spring spring);
    void easeTo(double target, std::chrono::milliseconds duration, AdwEasing easing = ADW_EASE_IN_OUT_CUBIC);
    void jumpTo(double target);
    double value() const { return value_; }
    double target() const { return target_; }

private:
    void play(AdwAnimation* animation);
    void stop();
    static void onValue(double value, gpointer self);

    GtkWidget* widget_;
    double value_;
    double target_;
    std::function<void(double)> step_;
    GObjectPtr<AdwAnimation> animation_;
};

}  // namespace tarn::motion
