#include "app/VersionsSheet.h"

#include "app/Bind.h"
#include "app/Icons.h"

#include <gtkmm/label.h>
#include <gtkmm/separator.h>

namespace tarn {

VersionsSheet::VersionsSheet(Gtk::Window& parent, AppViewModel& model, Published<bool>& shown)
    : Sheet(parent, shown, 560, 460), model_(model) {
    add_css_class("tarn-versions-sheet");
    set_title("Versions");

    auto* header = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    auto* title = Gtk::make_managed<Gtk::Label>("Versions");
    title->add_css_class("title-3");
    title->set_xalign(0);
    title->set_hexpand(true);
    refresh_.signal_clicked().connect([this] { spawn(model_.refreshVersions()); });
    header->append(*title);
    header->append(refresh_);
    content().append(*header);
    content().append(*Gtk::make_managed<Gtk::Separator>());

    list_.set_valign(Gtk::Align::START);
    scroller_.set_child(list_);
    scroller_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    scroller_.set_min_content_height(220);
    scroller_.set_vexpand(true);
    content().append(scroller_);
    content().append(*Gtk::make_managed<Gtk::Separator>());

    auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    name_.set_placeholder_text("new-version-name");
    name_.add_css_class("tarn-mono");
    name_.set_hexpand(true);
    setAccessibleLabel(name_, "New version name");
    bind::text(name_, model_.newVersionName);
    name_.signal_activate().connect([this] { spawn(model_.createVersion()); });
    // Never disabled: the controller turns empty or invalid names away with a message.
    create_.add_css_class("suggested-action");
    create_.signal_clicked().connect([this] { spawn(model_.createVersion()); });
    row->append(name_);
    row->append(create_);
    content().append(*row);

    bind::to(*this, model_.versions, [this](const auto&) { showVersions(); });
}

void VersionsSheet::appearing() { spawn(model_.refreshVersions()); }

void VersionsSheet::showVersions() {
    while (auto* child = list_.get_first_child()) list_.remove(*child);
    const auto& versions = *model_.versions;
    if (versions.empty()) {
        auto* none = Gtk::make_managed<Gtk::Label>("No versions found.");
        none->add_css_class("caption");
        none->add_css_class("tarn-secondary");
        none->set_xalign(0);
        list_.append(*none);
        return;
    }
    for (const auto& version : versions) {
        auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
        row->add_css_class("tarn-version-row");
        auto* name = Gtk::make_managed<Gtk::Label>(version.name);
        name->add_css_class("tarn-mono");
        name->set_xalign(0);
        name->set_ellipsize(Pango::EllipsizeMode::MIDDLE);
        row->append(*name);
        if (version.isCurrent) {
            auto* badge = Gtk::make_managed<Gtk::Label>("Current");
            badge->add_css_class("tarn-caption2");
            badge->add_css_class("tarn-current-badge");
            badge->set_valign(Gtk::Align::CENTER);
            row->append(*badge);
        }
        auto* spacer = Gtk::make_managed<Gtk::Box>();
        spacer->set_hexpand(true);
        row->append(*spacer);
        auto* button = Gtk::make_managed<Gtk::Button>(version.isCurrent ? "Checked Out" : "Checkout");
        button->add_css_class("suggested-action");
        button->set_sensitive(!version.isCurrent);
        std::string branch = version.name;
        button->signal_clicked().connect([this, branch] { spawn(model_.switchVersion(branch)); });
        row->append(*button);
        list_.append(*row);
    }
}

}  // namespace tarn
