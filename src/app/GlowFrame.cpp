#include "app/GlowFrame.h"

#include <adwaita.h>
#include <algorithm>
#include <cmath>
#include <gtk/gtk.h>
#include <gtkmm/snapshot.h>

namespace tarn {

namespace {

std::vector<GlowFrame*>& registry() {
    static std::vector<GlowFrame*> frames;
    return frames;
}

graphene_rect_t rectOf(float x, float y, float w, float h) {
    graphene_rect_t r;
    graphene_rect_init(&r, x, y, w, h);
    return r;
}

}  // namespace

GlowFrame::GlowFrame() : Glib::ObjectBase("TarnGlowFrame") {}

GlowFrame::~GlowFrame() { std::erase(registry(), this); }

const std::vector<GlowFrame*>& GlowFrame::activeRings() { return registry(); }

void GlowFrame::setStyle(const Style& style) {
    style_ = style;
    queue_draw();
}

void GlowFrame::setRingActive(bool active) {
    if (active == ringActive_) return;
    ringActive_ = active;
    angle_ = GlowClock::shared().angle();
    updateRegistration();
    queue_draw();
}

void GlowFrame::setAngle(double degrees) {
    angle_ = degrees;
    if (ringActive_) queue_draw();
}

void GlowFrame::setScale(double scale) {
    scale_ = scale;
    queue_draw();
}

void GlowFrame::on_map() {
    Gtk::Widget::on_map();
    updateRegistration();
}

void GlowFrame::on_unmap() {
    Gtk::Widget::on_unmap();
    updateRegistration();
}

void GlowFrame::updateRegistration() {
    auto& frames = registry();
    std::erase(frames, this);
    if (ringActive_ && get_mapped()) frames.push_back(this);
    GlowClock::shared().ringsChanged();
}

GdkRGBA GlowFrame::resolve(const NamedColor& color) {
    GdkRGBA c{0, 0, 0, 0};
    if (color.name.empty()) return c;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (!gtk_style_context_lookup_color(gtk_widget_get_style_context(GTK_WIDGET(gobj())), color.name.c_str(), &c)) return GdkRGBA{0, 0, 0, 0};
    G_GNUC_END_IGNORE_DEPRECATIONS
    c.alpha = static_cast<float>(c.alpha * color.alpha);
    return c;
}

void GlowFrame::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
    GtkSnapshot* s = snapshot->gobj();
    const float w = static_cast<float>(get_width()), h = static_cast<float>(get_height());
    graphene_rect_t bounds = rectOf(0, 0, w, h);
    gtk_snapshot_save(s);
    if (scale_ != 1) {
        graphene_point_t centre = GRAPHENE_POINT_INIT(w / 2, h / 2);
        gtk_snapshot_translate(s, &centre);
        gtk_snapshot_scale(s, static_cast<float>(scale_), static_cast<float>(scale_));
        graphene_point_t back = GRAPHENE_POINT_INIT(-w / 2, -h / 2);
        gtk_snapshot_translate(s, &back);
    }
    GskRoundedRect outer;
    gsk_rounded_rect_init_from_rect(&outer, &bounds, static_cast<float>(style_.radius));
    for (const auto& shadow : style_.shadows) {
        const GdkRGBA colour = resolve(shadow.color);
        if (colour.alpha <= 0) continue;
        gtk_snapshot_append_outset_shadow(s, &outer, &colour, 0, static_cast<float>(shadow.offsetY), 0,
                                          static_cast<float>(shadow.radius));
    }
    const GdkRGBA fill = resolve(style_.fill);
    gtk_snapshot_push_rounded_clip(s, &outer);
    gtk_snapshot_append_color(s, &fill, &bounds);
    if (ringActive_ && !style_.ring.empty()) {
        std::vector<GskColorStop> stops;
        const std::size_t n = style_.ring.size();
        for (std::size_t i = 0; i <= n; ++i) {
            stops.push_back(GskColorStop{static_cast<float>(i) / static_cast<float>(n), resolve(style_.ring[i % n])});
        }
        graphene_point_t centre = GRAPHENE_POINT_INIT(w / 2, h / 2);
        gtk_snapshot_append_conic_gradient(s, &bounds, &centre, static_cast<float>(angle_), stops.data(), stops.size());
        // Cover all but the ring with the card again.
        GskRoundedRect inner = outer;
        const float ring = static_cast<float>(style_.ringWidth);
        gsk_rounded_rect_shrink(&inner, ring, ring, ring, ring);
        gtk_snapshot_push_rounded_clip(s, &inner);
        gtk_snapshot_append_color(s, &fill, &bounds);
        gtk_snapshot_pop(s);
    }
    gtk_snapshot_pop(s);
    auto border = [&](const NamedColor& named, double width) {
        const GdkRGBA colour = resolve(named);
        if (colour.alpha <= 0) return;
        const float widths[4] = {float(width), float(width), float(width), float(width)};
        const GdkRGBA colours[4] = {colour, colour, colour, colour};
        gtk_snapshot_append_border(s, &outer, widths, colours);
    };
    border(style_.outline, style_.outlineWidth);
    if (ringActive_) border(style_.ringOutline, style_.ringOutlineWidth);
    if (child()) snapshot_child(*child(), snapshot);
    gtk_snapshot_restore(s);
}

GlowClock& GlowClock::shared() {
    static GlowClock clock;
    return clock;
}

void GlowClock::attach(Gtk::Widget& widget) {
    if (widget_) return;
    widget_ = widget.gobj();
    g_object_weak_ref(G_OBJECT(widget_), [](gpointer data, GObject*) {
        auto* self = static_cast<GlowClock*>(data);
        self->widget_ = nullptr;
        if (self->timer_) g_source_remove(self->timer_);
        self->timer_ = 0;
    }, this);
    // "Reduce animation" in the desktop's settings stills the ring.
    g_signal_connect_swapped(gtk_widget_get_settings(widget_), "notify::gtk-enable-animations",
                             G_CALLBACK(+[](GlowClock* self) { self->ringsChanged(); }), this);
    ringsChanged();
}

int GlowClock::onStep(void* data) {
    auto* self = static_cast<GlowClock*>(data);
    const double elapsed = static_cast<double>(g_get_monotonic_time() - self->startedAt_) / 1000.0;
    self->angle_ = std::fmod(elapsed / turnMilliseconds * 360.0, 360.0);
    for (GlowFrame* frame : GlowFrame::activeRings()) frame->setAngle(self->angle_);
    return G_SOURCE_CONTINUE;
}

void GlowClock::ringsChanged() {
    if (!widget_) return;
    gboolean animations = TRUE;
    g_object_get(gtk_widget_get_settings(widget_), "gtk-enable-animations", &animations, nullptr);
    const bool wanted = animations && !GlowFrame::activeRings().empty();
    // Nothing turns while no ring shows; a ring that shows again goes on from where it stopped.
    if (wanted && !timer_) {
        startedAt_ = g_get_monotonic_time() - static_cast<gint64>(angle_ / 360.0 * turnMilliseconds * 1000.0);
        timer_ = g_timeout_add(stepMilliseconds, &GlowClock::onStep, this);
    } else if (!wanted && timer_) {
        g_source_remove(timer_);
        timer_ = 0;
    }
}

}  // namespace tarn
