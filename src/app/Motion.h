#pragma once
#include "support/GObjectPtr.h"

#include <adwaita.h>
#include <chrono>
#include <functional>
#include <gtkmm/widget.h>

// Animation of one value of a widget, on libadwaita's timed and spring animations.
namespace tarn::motion {

// As the design names springs: a response (seconds) and a damping fraction.
struct Spring {
    double response;
    double dampingFraction;
};

// The springs and curves the window uses.
inline constexpr Spring expandToggle{0.4, 0.85};
inline constexpr Spring browserColumn{0.38, 0.86};
inline constexpr Spring windowContent{0.42, 0.88};
inline constexpr Spring selectionPulse{0.3, 0.68};
inline constexpr Spring selectionCount{0.34, 0.84};

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
