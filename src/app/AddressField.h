#pragma once
#include "workspace/AppViewModel.h"

#include <gtkmm/entry.h>

namespace tarn {

// The preview's address: bound to the controller's text; Return loads it, exactly like "Go".
class AddressField : public Gtk::Entry {
public:
    explicit AddressField(AppViewModel& model);
};

}  // namespace tarn
