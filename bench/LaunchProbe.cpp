// The `tarn` command as installed, but execing the probe window beside it: what a user starts,
// measured the way the window benchmark measures Tarn.
#include "launcher/Launcher.h"

#include <filesystem>

int main(int argc, char** argv) {
    const auto here = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    return tarn::launcher::startServerThenExec(argc, argv, here / "tarn_bench_tarn_probe");
}
