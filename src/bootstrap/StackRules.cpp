#include "bootstrap/StackRules.h"

#include <utility>

namespace tarn::stacks {

SupportedStack detect(const std::set<std::string>& names) {
    auto has = [&](const char* name) { return names.count(name) > 0; };
    // Frameworks first: they bring React, Vue or Vite along.
    if (has("next")) return SupportedStack::nextJS;
    if (has("nuxt") || has("nuxt3")) return SupportedStack::nuxt;
    if (has("@sveltejs/kit")) return SupportedStack::svelteKit;
    if (has("astro")) return SupportedStack::astro;
    if (has("@remix-run/dev") || has("@remix-run/react")) return SupportedStack::remix;
    if (has("@react-router/dev")) return SupportedStack::reactRouter;
    if (has("@angular/core")) return SupportedStack::angular;
    if (has("vite")) {
        // Preact before React: a Preact app may alias React to it.
        static const std::pair<const char*, SupportedStack> libraries[] = {
            {"preact", SupportedStack::vitePreact}, {"react", SupportedStack::viteReact},
            {"vue", SupportedStack::viteVue},       {"svelte", SupportedStack::viteSvelte},
            {"solid-js", SupportedStack::viteSolid}, {"lit", SupportedStack::viteLit},
        };
        for (const auto& [library, stack] : libraries) {
            if (has(library)) return stack;
        }
        return SupportedStack::vite;
    }
    if (has("react")) return SupportedStack::react;
    return SupportedStack::unknown;
}

std::int64_t defaultPort(SupportedStack stack, const std::set<std::string>& names) {
    switch (stack) {
        case SupportedStack::viteReact:
        case SupportedStack::viteVue:
        case SupportedStack::viteSvelte:
        case SupportedStack::viteSolid:
        case SupportedStack::vitePreact:
        case SupportedStack::viteLit:
        case SupportedStack::vite:
        case SupportedStack::svelteKit:
        case SupportedStack::reactRouter:
            return 5173;
        case SupportedStack::remix:
            // Remix on Vite serves where Vite does; the classic compiler on 3000.
            return names.count("vite") ? 5173 : 3000;
        case SupportedStack::astro: return 4321;
        case SupportedStack::angular: return 4200;
        case SupportedStack::nextJS:
        case SupportedStack::nuxt:
        case SupportedStack::react:
        case SupportedStack::unknown:
            return 3000;
    }
    return 3000;
}

}  // namespace tarn::stacks
