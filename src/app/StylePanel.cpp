#include "app/StylePanel.h"

#include "app/Buttons.h"
#include "agents/style/StyleEdit.h"
#include "support/Text.h"
#include "support/Translate.h"

#include <cmath>
#include <gtkmm/adjustment.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/colorbutton.h>
#include <gtkmm/dropdown.h>
#include <gtkmm/label.h>
#include <gtkmm/spinbutton.h>
#include <gtkmm/stringlist.h>
#include <gtkmm/togglebutton.h>

#include <array>

namespace tarn {

namespace {

std::string valueOf(const InspectTarget& target, const std::string& css) {
    auto it = target.computedStyle.find(css);
    return it == target.computedStyle.end() ? std::string() : it->second;
}

// A length the page computed, in whole pixels when it is one ("18px" → 18).
double pixelsOf(const std::string& value) {
    try {
        return value.ends_with("px") ? std::round(std::stod(value)) : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

std::string pixels(double value) { return std::to_string(static_cast<int>(value)) + "px"; }

}  // namespace

StylePanel::StylePanel(AppViewModel& model, const InspectTarget& target) : model_(model), target_(target) {
    if (const auto& context = model.projectContext()) whereFrom_ = style::whereFrom(context->rootURL.path(), target_);
    add_css_class("tarn-style-panel");
    auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 12);
    box->set_margin(6);
    grid_.set_row_spacing(6);
    grid_.set_column_spacing(12);
    box->append(grid_);
    if (target.placeCount > 1) {
        // A list's items come from one place: what is written there shows on each.
        auto* reach = Gtk::make_managed<Gtk::Label>(tr::format(_("This element is one of %1 written in the same place; a change shows on all of them."),
                                                               {std::to_string(target.placeCount)}));
        reach->set_wrap(true);
        reach->set_max_width_chars(40);
        reach->set_xalign(0);
        reach->add_css_class("dim-label");
        box->append(*reach);
    }

    const auto colorRow = [&](const std::string& label, const std::string& css, style::Property property) {
        auto* button = Gtk::make_managed<Gtk::ColorButton>();
        Gdk::RGBA color;
        std::string initial = valueOf(target, css);
        button->set_use_alpha(true);
        if (color.set(initial)) {
            button->set_rgba(color);
            initial = button->get_rgba().to_string();  // written as the button writes it
        }
        const auto row = addRow(label, *button, Row{{css}, property, initial, [button] { return std::string(button->get_rgba().to_string()); }});
        button->signal_color_set().connect([this, row] { tried(row); });
    };
    lengthRow_ = [this](const std::string& label, std::vector<std::string> css, style::Property property, double lowest, unsigned sides) {
        auto* spin = Gtk::make_managed<Gtk::SpinButton>(Gtk::Adjustment::create(0, lowest, 2000, 1, 8), 1, 0);
        const std::string initial = valueOf(target_, css.front());
        spin->set_value(pixelsOf(initial));
        Row made{std::move(css), property, initial.ends_with("px") ? pixels(pixelsOf(initial)) : initial, [spin] { return pixels(spin->get_value()); }};
        made.sides = sides;
        const auto row = addRow(label, *spin, std::move(made));
        spin->signal_value_changed().connect([this, row] { tried(row); });
        return row;
    };
    const auto lengthRow = [&](const std::string& label, std::vector<std::string> css, style::Property property, double lowest) {
        return lengthRow_(label, std::move(css), property, lowest, style::allSides);
    };
    const auto choiceRow = [&](const std::string& label, const std::string& css, style::Property property,
                               std::vector<std::pair<std::string, std::string>> choices) {
        auto names = Gtk::StringList::create({});
        for (const auto& [value, name] : choices) names->append(name);
        auto* dropdown = Gtk::make_managed<Gtk::DropDown>(names);
        std::string initial = valueOf(target, css);
        if (initial == "start") initial = "left";
        if (initial == "end") initial = "right";
        for (std::size_t i = 0; i < choices.size(); ++i) {
            if (choices[i].first == initial) dropdown->set_selected(static_cast<guint>(i));
        }
        const auto row = addRow(label, *dropdown, Row{{css}, property, initial, [dropdown, choices] {
                                    const guint at = dropdown->get_selected();
                                    return at < choices.size() ? choices[at].first : std::string();
                                }});
        dropdown->property_selected().signal_changed().connect([this, row] { tried(row); });
    };

    colorRow(_("Text Color"), "color", style::Property::color);
    colorRow(_("Background"), "background-color", style::Property::background);
    lengthRow(_("Font Size"), {"font-size"}, style::Property::fontSize, 1);
    choiceRow(_("Font Weight"), "font-weight", style::Property::fontWeight,
              {{"300", _("Light")}, {"400", _("Regular")}, {"500", _("Medium")}, {"600", _("Semibold")}, {"700", _("Bold")}, {"800", _("Heavy")}});
    choiceRow(_("Alignment"), "text-align", style::Property::textAlign,
              {{"left", _("Left")}, {"center", _("Center")}, {"right", _("Right")}, {"justify", _("Justified")}});
    addSides(_("Padding"), "padding", style::Property::padding, 0,
             lengthRow(_("Padding"), {"padding-top", "padding-right", "padding-bottom", "padding-left"}, style::Property::padding, 0));
    addSides(_("Margin"), "margin", style::Property::margin, -2000,
             lengthRow(_("Margin"), {"margin-top", "margin-right", "margin-bottom", "margin-left"}, style::Property::margin, -2000));
    lengthRow(_("Corner Radius"), {"border-top-left-radius"}, style::Property::borderRadius, 0);
    lengthRow(_("Width"), {"width"}, style::Property::width, 0);
    lengthRow(_("Maximum Width"), {"max-width"}, style::Property::maxWidth, 0);
    // A flex or grid container's layout of its items.
    const std::string display = valueOf(target, "display");
    if (display.find("flex") != std::string::npos || display.find("grid") != std::string::npos) {
        choiceRow(_("Direction"), "flex-direction", style::Property::flexDirection,
                  {{"row", _("Row")}, {"column", _("Column")}, {"row-reverse", _("Row, Reversed")}, {"column-reverse", _("Column, Reversed")}});
        lengthRow(_("Gap"), {"gap"}, style::Property::gap, 0);
        choiceRow(_("Align Items"), "align-items", style::Property::alignItems,
                  {{"stretch", _("Stretch")}, {"flex-start", _("Start")}, {"center", _("Center")}, {"flex-end", _("End")}, {"baseline", _("Baseline")}});
        choiceRow(_("Distribute Items"), "justify-content", style::Property::justifyContent,
                  {{"flex-start", _("Start")}, {"center", _("Center")}, {"flex-end", _("End")}, {"space-between", _("Space Between")},
                   {"space-around", _("Space Around")}, {"space-evenly", _("Space Evenly")}});
    }

    auto* apply = Gtk::make_managed<Gtk::Button>(_("_Apply"), true);
    apply->add_css_class("suggested-action");
    apply->set_halign(Gtk::Align::END);
    apply->signal_clicked().connect([this] { this->apply(); });
    box->append(*apply);
    set_child(*box);
    set_default_widget(*apply);

    // Closed without Apply (Escape, a click elsewhere): the page as it was.
    signal_closed().connect([this] {
        if (!applied_) model_.takeBackStyles();
    });
}

std::size_t StylePanel::addRow(const std::string& label, Gtk::Widget& control, Row row) {
    const int at = static_cast<int>(rows_.size());
    auto* name = Gtk::make_managed<Gtk::Label>(label);
    name->set_xalign(0);
    name->set_mnemonic_widget(control);
    setAccessibleLabel(control, label);
    grid_.attach(*name, 0, at);
    grid_.attach(control, 1, at);
    // Where the page has the value from: a utility, a rule's place, inline, inherited.
    if (auto it = whereFrom_.find(row.css.front()); it != whereFrom_.end() && !it->second.empty()) {
        const std::string& where = it->second;
        auto* from = Gtk::make_managed<Gtk::Label>(where);
        from->set_xalign(0);
        from->set_ellipsize(Pango::EllipsizeMode::MIDDLE);
        from->set_max_width_chars(28);
        from->set_tooltip_text(where);
        from->set_css_classes({"dim-label", "caption"});
        grid_.attach(*from, 2, at);
        row.widgets.push_back(from);
    }
    row.name = name;
    row.widgets.push_back(name);
    row.widgets.push_back(&control);
    rows_.push_back(std::move(row));
    return rows_.size() - 1;
}

void StylePanel::addSides(const std::string& label, const std::string& css, style::Property property, double lowest, std::size_t linked) {
    // Linked by default: one value for every side, as most boxes are written.
    auto* link = Gtk::make_managed<Gtk::ToggleButton>();
    link->set_icon_name("insert-link-symbolic");
    link->set_active(true);
    link->set_valign(Gtk::Align::CENTER);
    link->add_css_class("flat");
    const std::string tip = tr::format(_("Same %1 on Every Side"), {text::toLower(label)});
    link->set_tooltip_text(tip);
    setAccessibleLabel(*link, tip);
    grid_.attach(*link, 3, static_cast<int>(rows_.size()) - 1);
    std::vector<std::size_t> sides;
    const std::array<std::pair<const char*, unsigned>, 4> names{{{"top", style::top}, {"right", style::right}, {"bottom", style::bottom}, {"left", style::left}}};
    const std::array<std::string, 4> shown{_("Top"), _("Right"), _("Bottom"), _("Left")};
    for (std::size_t i = 0; i < names.size(); ++i) {
        sides.push_back(lengthRow_(tr::format(_("%1, %2"), {label, shown[i]}), {css + "-" + names[i].first}, property, lowest, names[i].second));
        for (auto* widget : rows_.back().widgets) widget->set_visible(false);
    }
    link->signal_toggled().connect([this, link, linked, sides] {
        const bool together = link->get_active();
        // The box's own label stays, with the link beside it, over its sides.
        for (auto* widget : rows_[linked].widgets) widget->set_visible(together || widget == rows_[linked].name);
        for (const auto side : sides) {
            for (auto* widget : rows_[side].widgets) widget->set_visible(!together);
        }
    });
}

void StylePanel::tried(std::size_t index) {
    Row& row = rows_[index];
    row.touched = true;
    const std::string value = row.current();
    // A box's value goes to every side (they are linked here).
    for (const auto& css : row.css) model_.tryStyle(css, value);
}

std::vector<AgentRequests::StyleChange> StylePanel::changes() const {
    std::vector<AgentRequests::StyleChange> out;
    for (const auto& row : rows_) {
        // Only what the user changed: a value the controls cannot show (an oklch() colour) stays.
        const std::string now = row.current();
        if (!row.touched || now.empty() || now == row.initial) continue;
        // A hidden row's value is not the user's now (its sides were unlinked, or linked again).
        if (!row.widgets.empty() && !row.widgets.back()->get_visible()) continue;
        out.push_back({style::Change{row.property, now, row.sides}, row.initial});
    }
    return out;
}

void StylePanel::apply() {
    auto changed = changes();
    applied_ = !changed.empty();
    popdown();
    if (applied_) spawn(model_.requests().applyStyle(std::move(changed)));
}

}  // namespace tarn
