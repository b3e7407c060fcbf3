// The markup reader on a large file: the largest source file of the starters (given as a folder,
// see starters.sh) repeated to 1 MB, read and searched, against a plain search of the same bytes;
// then files in the middle of an edit, whose every expression and template is left open. Medians
// of 5 runs.
#include "agents/rendered/Rendered.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace tarn;

namespace {

template <typename F>
double medianMilliseconds(F work) {
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

fs::path largestSource(const fs::path& folder) {
    fs::path best;
    std::uintmax_t size = 0;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() && (name == "node_modules" || name.starts_with("."))) {
            it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file() || rendered::syntaxFor(it->path().extension().string()) == rendered::Syntax::none) continue;
        if (it->file_size() > size) {
            size = it->file_size();
            best = it->path();
        }
    }
    return best;
}

std::string repeatedTo(const std::string& piece, std::size_t size) {
    std::string out;
    while (out.size() < size) out += piece;
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !fs::is_directory(argv[1])) {
        std::fprintf(stderr, "usage: tarn_bench_reader STARTERS_FOLDER (see bench/starters.sh)\n");
        return 2;
    }
    const fs::path file = largestSource(argv[1]);
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string source = repeatedTo(bytes.str(), 1 << 20);
    const auto syntax = rendered::syntaxFor(file.extension().string());
    const std::u32string text = rendered::normalize("Click on the Vite logo to learn more");

    std::size_t sink = 0;
    const double reading = medianMilliseconds([&] {
        auto r = rendered::read(source, syntax);
        sink += rendered::find(r.cells, text).size() + r.literals.size();
    });
    const double plain = medianMilliseconds([&] {
        std::size_t at = 0;
        while ((at = source.find("learn more", at)) != std::string::npos) ++at, ++sink;
    });
    std::printf("read and search, %s repeated to %zu bytes: %.1f ms; plain search: %.2f ms; %.1f MB/s\n",
                file.filename().c_str(), source.size(), reading, plain, source.size() / 1e3 / reading);

    for (const char* shape : {"<a>{`${", "`${<a>{", "<a>{`<b>${", "`<a>${<b>{"}) {
        const std::string open = repeatedTo(shape, 1 << 20);
        const double ms = medianMilliseconds([&] {
            auto r = rendered::read(open, rendered::Syntax::jsx);
            sink += rendered::find(r.cells, text).size() + r.cells.size();
        });
        std::printf("half-edited \"%s\" repeated to 1 MB: %.1f ms\n", shape, ms);
    }
    std::printf("(checksum %zu)\n", sink);
}
