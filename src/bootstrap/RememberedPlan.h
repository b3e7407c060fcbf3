#pragma once
#include "model/ProjectContext.h"

#include <filesystem>
#include <optional>
#include <string>

// The start-up plan last made for a project, kept outside it with what it was made from (its
// package.json, lockfiles and instructions file, by size, time and file), so that opening the
// project again starts its server at once when none of them changed.
namespace tarn::rememberedPlan {

// $XDG_CACHE_HOME/tarn/plans: losing it only means planning again.
std::filesystem::path defaultFolder();

// What the plan's inputs are now: one line per input, "absent" for a missing one.
std::string inputsOf(const std::filesystem::path& root);

// Keeps the plan (the whole context) beside its inputs as they are now. Throws the file system's error.
void remember(const ProjectContext& context, const std::filesystem::path& folder = defaultFolder());
// The plan made for this project, when it was made from inputs exactly as they are now.
std::optional<ProjectContext> recall(const std::filesystem::path& root, const std::filesystem::path& folder = defaultFolder());

}  // namespace tarn::rememberedPlan
