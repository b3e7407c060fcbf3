#pragma once
#include "workspace/AppViewModel.h"

#include <functional>
#include <map>
#include <gtkmm/grid.h>
#include <gtkmm/popover.h>
#include <string>
#include <vector>

namespace tarn {

// How the selected element looks, to change by clicking: its colors, font, alignment, spacing and
// corners as the page computed them. A change shows on the page at once; Apply writes them into
// the element's source, Escape takes them back.
class StylePanel : public Gtk::Popover {
public:
    StylePanel(AppViewModel& model, const InspectTarget& target);

    // The values that differ from the page's, as Apply would write them.
    std::vector<AgentRequests::StyleChange> changes() const;
    void apply();

private:
    // One control: the CSS properties it sets, what it changes, and its value as the page had it
    // and as it is now.
    struct Row {
        std::vector<std::string> css;
        style::Property property;
        std::string initial;
        std::function<std::string()> current;
        bool touched = false;
        unsigned sides = style::allSides;
        std::vector<Gtk::Widget*> widgets;  // its label, control and source, to show or hide
        Gtk::Widget* name = nullptr;
    };
    std::size_t addRow(const std::string& label, Gtk::Widget& control, Row row);
    // A box's four sides, shown in place of its one value while they are unlinked.
    void addSides(const std::string& label, const std::string& css, style::Property property, double lowest, std::size_t linked);
    void tried(std::size_t row);

    AppViewModel& model_;
    const InspectTarget target_;
    std::function<std::size_t(const std::string&, std::vector<std::string>, style::Property, double, unsigned)> lengthRow_;
    std::map<std::string, std::string> whereFrom_;  // by property: where the page has its value from
    Gtk::Grid grid_;
    std::vector<Row> rows_;
    bool applied_ = false;
};

}  // namespace tarn
