#pragma once
#include <glib-object.h>
#include <memory>

namespace tarn {

// Owns what a GLib function handed over, and frees it with the function that frees its kind.
template <auto Free>
struct GFree {
    template <typename T>
    void operator()(T* pointer) const {
        if (pointer) Free(pointer);
    }
};
template <typename T, auto Free>
using GPtr = std::unique_ptr<T, GFree<Free>>;

// One reference of a GObject.
template <typename T>
using GObjectPtr = GPtr<T, g_object_unref>;
using GCharPtr = GPtr<char, g_free>;
using GStrvPtr = GPtr<char*, g_strfreev>;
using GErrorPtr = GPtr<GError, g_error_free>;

}  // namespace tarn
