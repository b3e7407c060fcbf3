#pragma once
#include "model/EnumNames.h"


namespace tarn {

// The width the preview lays the page out at: the window's, or a tablet's or a phone's.
enum class DeviceWidth { desktop, tablet, phone };

// In CSS pixels; 0 for the window's own width.
constexpr int pixelsOf(DeviceWidth width) {
    switch (width) {
        case DeviceWidth::desktop: return 0;
        case DeviceWidth::tablet: return 768;
        case DeviceWidth::phone: return 390;
    }
    return 0;
}

constexpr EnumNameTable<DeviceWidth, 3> enumNames(DeviceWidth) {
    return {{{DeviceWidth::desktop, "desktop"}, {DeviceWidth::tablet, "tablet"}, {DeviceWidth::phone, "phone"}}};
}

}  // namespace tarn
