#include "app/Bin.h"

#include <gtk/gtk.h>

namespace tarn {

namespace {

void plainContainerClassInit(void* gClass, void*) {
    auto* widgetClass = static_cast<GtkWidgetClass*>(gClass);
    gtk_widget_class_set_layout_manager_type(widgetClass, GTK_TYPE_BIN_LAYOUT);
    gtk_widget_class_set_accessible_role(widgetClass, GTK_ACCESSIBLE_ROLE_GENERIC);
}

}  // namespace

PlainContainerClass::PlainContainerClass() : Glib::ExtraClassInit(plainContainerClassInit) {}

Bin::Bin() : Glib::ObjectBase("TarnBin") {}

Bin::~Bin() {
    // The child may be gone already (a member of a derived class): unparent what is really there.
    while (auto* child = get_first_child()) child->unparent();
}

void Bin::setChild(Gtk::Widget& child) {
    while (auto* old = get_first_child()) old->unparent();
    child.set_parent(*this);
}

}  // namespace tarn
