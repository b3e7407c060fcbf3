#pragma once
#include "app/Bin.h"
#include "support/GObjectPtr.h"

#include <adwaita.h>
#include <gdkmm/rgba.h>
#include <string>
#include <vector>

namespace tarn {

// A colour of the stylesheet, by its name, at an opacity: the frame looks it up as it draws, so it
// follows light and dark style and the accent colour.
struct NamedColor {
    std::string name;  // empty for none
    double alpha = 1;
};

// A rounded card around one child, with an optional turning ring: a conic gradient stroked along
// its edge whose start angle follows the window's glow clock. Draws its own fill, outline and
// shadow, so the ring sits between the card and its content.
class GlowFrame : public Bin {
public:
    struct Style {
        double radius = 16;
        NamedColor fill;
        NamedColor outline;
        double outlineWidth = 1;
        struct Shadow {
            NamedColor color;
            double radius = 0;
            double offsetY = 0;
        };
        std::vector<Shadow> shadows;
        std::vector<NamedColor> ring;  // the gradient's colours, evenly spaced and closed
        double ringWidth = 1.6;
        NamedColor ringOutline;        // a thin line along the ring
        double ringOutlineWidth = 0.8;
    };

    GlowFrame();
    ~GlowFrame() override;

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
    void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;
    void on_map() override;
    void on_unmap() override;

private:
    void updateRegistration();
    // The colour as the stylesheet defines it now; transparent when it names none.
    GdkRGBA resolve(const NamedColor& color);

    Style style_;
    bool ringActive_ = false;
    double angle_ = 0;
    double scale_ = 1;
};

// Turns every active ring, 8.5 seconds a turn, while some ring is on screen. It steps five times a
// second rather than every frame: the turn is slow, and a window drawn in software at every frame
// would leave the main loop no time to answer a screen reader while an agent works.
class GlowClock {
public:
    static GlowClock& shared();
    void attach(Gtk::Widget& widget);  // the window whose rings it turns
    void ringsChanged();
    double angle() const { return angle_; }
    bool running() const { return timer_ != 0; }

    static constexpr unsigned stepMilliseconds = 200;
    static constexpr double turnMilliseconds = 8500;

private:
    static int onStep(void* self);
    GtkWidget* widget_ = nullptr;
    unsigned timer_ = 0;
    gint64 startedAt_ = 0;  // µs, when angle 0 was
    double angle_ = 0;
};

}  // namespace tarn
