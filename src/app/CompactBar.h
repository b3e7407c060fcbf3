#pragma once
#include "app/AddressField.h"
#include "workspace/AppViewModel.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>

namespace tarn {

// The bar of the expanded browser: the address, reload, copy logs, inspect and collapse.
class CompactBar : public Gtk::Box {
public:
    explicit CompactBar(AppViewModel& model);
    AddressField& address() { return address_; }

private:
    AddressField address_;
    Gtk::Button reload_, copy_, inspect_, collapse_;
};

}  // namespace tarn
