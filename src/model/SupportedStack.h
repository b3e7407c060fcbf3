#pragma once
#include "model/EnumNames.h"

namespace tarn {

// The web stack of the opened project; the raw value is also its display name, what a user would
// call it.
enum class SupportedStack {
    nextJS,
    viteReact,
    react,
    viteVue,
    viteSvelte,
    viteSolid,
    vitePreact,
    viteLit,
    vite,
    nuxt,
    svelteKit,
    astro,
    remix,
    reactRouter,
    angular,
    unknown,
};

constexpr EnumNameTable<SupportedStack, 16> enumNames(SupportedStack) {
    return {{{SupportedStack::nextJS, "Next.js"},
             {SupportedStack::viteReact, "Vite + React"},
             {SupportedStack::react, "React"},
             {SupportedStack::viteVue, "Vite + Vue"},
             {SupportedStack::viteSvelte, "Vite + Svelte"},
             {SupportedStack::viteSolid, "Vite + Solid"},
             {SupportedStack::vitePreact, "Vite + Preact"},
             {SupportedStack::viteLit, "Vite + Lit"},
             {SupportedStack::vite, "Vite"},
             {SupportedStack::nuxt, "Nuxt"},
             {SupportedStack::svelteKit, "SvelteKit"},
             {SupportedStack::astro, "Astro"},
             {SupportedStack::remix, "Remix"},
             {SupportedStack::reactRouter, "React Router"},
             {SupportedStack::angular, "Angular"},
             {SupportedStack::unknown, "Unknown"}}};
}

inline void to_json(json::Json& j, SupportedStack v) { encodeName(j, v); }
inline void from_json(const json::Json& j, SupportedStack& v) { v = decodeName<SupportedStack>(j); }

}  // namespace tarn
