#pragma once
#include "support/GObjectPtr.h"
#include <adwaita.h>
#include <gdkmm/rgba.h>
#include <gtkmm/widget.h>
#include <vector>

namespace tarn {

// The glow's colours: a cyan and a blue, at any opacity.
namespace glow {
Gdk::RGBA rgba(double r, double g, double b, double a = 1);
inline Gdk::RGBA cyan(double alpha) { return rgba(50 / 255.0, 173 / 255.0, 230 / 255.0, alpha); }
inline Gdk::RGBA blue(double alpha) { return rgba(0, 122 / 255.0, 1, alpha); }
}  // namespace glow

// A rounded card around one child, with an optional turning ring: a conic gradient stroked along
// its edge whose start angle follows the window's glow clock. Draws its own fill, outline and
// shadow, so the ring sits between the card and its content.
class GlowFrame : public Gtk::Widget {
public:
    struct Style {
        double radius = 16;
        Gdk::RGBA fill;
        Gdk::RGBA outline;     // transparent for none
        double outlineWidth = 1;
        Gdk::RGBA shadow;      // transparent for none
        double shadowRadius = 0;
        double shadowOffsetY = 0;
        std::vector<Gdk::RGBA> ring;  // the gradient's colours, evenly spaced and closed
        double ringWidth = 1.6;
        Gdk::RGBA ringOutline;        // a thin line along the ring; transparent for none
        double ringOutlineWidth = 0.8;
    };

    GlowFrame();
    ~GlowFrame() override;

    void setChild(Gtk::Widget& child);
    void setStyle(const Style& style);
    const Style& style() const { return style_; }
    // The ring shows while active; the window's clock turns it.
    void setRingActive(bool active);
    bool ringActive() const { return ringActive_; }
    void setAngle(double degrees);
    // Scales the whole frame about its centre (the selection pulse).
    void setScale(double scale);

    // Every frame whose ring is active, for the clock.
    static const std::vector<GlowFrame*>& activeRings();

protected:
    Gtk::SizeRequestMode get_request_mode_vfunc() const override;
    void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural, int& minimumBaseline,
                       int& naturalBaseline) const override;
    void size_allocate_vfunc(int width, int height, int baseline) override;
    void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;
    void on_map() override;
    void on_unmap() override;

private:
    Gtk::Widget* child() const { return const_cast<Gtk::Widget*>(get_first_child()); }
    void updateRegistration();

    Style style_;
    bool ringActive_ = false;
    double angle_ = 0;
    double scale_ = 1;
};

// Turns every active ring: one endless linear animation of 8.5 seconds a turn, running only
// while some ring is on screen.
class GlowClock {
public:
    static GlowClock& shared();
    void attach(Gtk::Widget& widget);  // the window whose frames it drives
    void ringsChanged();
    double angle() const { return angle_; }
    bool running() const;

private:
    static void onValue(double value, gpointer self);
    GtkWidget* widget_ = nullptr;
    GObjectPtr<AdwAnimation> animation_;
    double angle_ = 0;
};

}  // namespace tarn
