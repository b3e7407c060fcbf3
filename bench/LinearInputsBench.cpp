// Readers of input Tarn does not control, on the worst lines found for each: time must grow with
// the length and no faster. Each figure is the median of 7 runs over 1 MB (the fenced answer, 40,000
// spaces, as before), against copying the same bytes. Prints TABLE rows for bench/run.sh.
#include "agents/AgentToolSupport.h"
#include "support/Text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

template <typename F>
double medianMilliseconds(F work) {
    std::vector<double> times;
    for (int i = 0; i < 7; ++i) {
        auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string repeated(const std::string& piece, std::size_t size) {
    std::string out;
    while (out.size() < size) out += piece;
    return out;
}

std::size_t sink = 0;

void row(const char* what, const std::string& input, double milliseconds) {
    const double copy = medianMilliseconds([&] {
        std::string plain = input;
        sink += plain.size();
    });
    const double rate = static_cast<double>(input.size()) / 1e6 / (milliseconds / 1000.0);
    std::printf("TABLE\t%s\t%.2f ms (%.0f MB/s)\t%.3f ms (a copy)\tlinear\t>= 50 MB/s\n", what, milliseconds, rate, copy);
}

}  // namespace

int main() {
    const std::size_t size = 1 << 20;
    const std::string answer = "```json\n{" + std::string(40000, ' ') + "}";
    row("start-up plan answer, 40,000 spaces", answer,
        medianMilliseconds([&] { sink += tarn::agenttools::stripCodeFences(answer).size(); }));

    const std::vector<std::pair<const char*, std::string>> linkLines{
        {"link finder, 1 MB line: a link then closing brackets", "http://a/" + std::string(size, ')')},
        {"link finder, 1 MB line: schemes and brackets", repeated("a://)(]", size)},
        {"link finder, 1 MB line: one long link", "https://example.com/" + repeated("path/segment_(x)", size)},
    };
    for (const auto& entry : linkLines) {
        const std::string& line = entry.second;
        row(entry.first, line, medianMilliseconds([&] { sink += tarn::text::findLinks(line).size(); }));
    }

    const std::vector<std::pair<const char*, std::string>> escapeLines{
        {"escape removal, 1 MB line: colours around characters", repeated("\x1b[1;38;5;208mé\x1b[0m漢", size)},
        {"escape removal, 1 MB line: an unterminated command", "\x1b]8;;" + repeated("x", size)},
        {"escape removal, 1 MB line: stray escapes", repeated("\x1b\x1b[\xc2\x9b", size)},
    };
    for (const auto& entry : escapeLines) {
        const std::string& line = entry.second;
        row(entry.first, line, medianMilliseconds([&] { sink += tarn::text::stripTerminalEscapes(line).size(); }));
    }
    std::fprintf(stderr, "checksum %zu\n", sink);
}
