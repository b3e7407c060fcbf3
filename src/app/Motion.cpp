#include "app/Motion.h"

#include <cmath>

namespace tarn::motion {

Animator::Animator(Gtk::Widget& widget, double initial, std::function<void(double)> step)
    : widget_(widget.gobj()), value_(initial), target_(initial), step_(std::move(step)) {}

// Never reports into a widget that is going away.
Animator::~Animator() { stop(); }

void Animator::stop() {
    if (animation_) adw_animation_pause(animation_.get());
    animation_.reset();
}

void Animator::onValue(double value, gpointer data) {
    auto* self = static_cast<Animator*>(data);
    self->value_ = value;
    if (self->step_) self->step_(value);
}

void Animator::play(AdwAnimation* animation) {
    // The old animation must not report after this one took over.
    stop();
    animation_.reset(animation);
    adw_animation_play(animation);
}

void Animator::springTo(double target, Spring spring) {
    target_ = target;
    AdwSpringParams* params = adw_spring_params_new(spring.dampingRatio, 1.0, spring.stiffness);
    AdwAnimationTarget* callback = adw_callback_animation_target_new(&Animator::onValue, this, nullptr);
    // The animation takes both the parameters and the target.
    AdwAnimation* animation = adw_spring_animation_new(widget_, value_, target, params, callback);
    adw_spring_animation_set_clamp(ADW_SPRING_ANIMATION(animation), FALSE);
    play(animation);
}

void Animator::easeTo(double target, std::chrono::milliseconds duration, AdwEasing easing) {
    target_ = target;
    AdwAnimationTarget* callback = adw_callback_animation_target_new(&Animator::onValue, this, nullptr);
    AdwAnimation* animation =
        adw_timed_animation_new(widget_, value_, target, static_cast<guint>(duration.count()), callback);
    adw_timed_animation_set_easing(ADW_TIMED_ANIMATION(animation), easing);
    play(animation);
}

void Animator::jumpTo(double target) {
    stop();
    target_ = target;
    onValue(target, this);
}

}  // namespace tarn::motion
