// The worst case of reading a start-up plan answer: a fenced answer with a long run of white space,
// against a plain copy of the same text. Median of 7 runs each.
#include "agents/AgentToolSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

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

int main() {
    const std::string answer = "```json\n{" + std::string(40000, ' ') + "}";
    std::size_t sink = 0;
    double strip = medianMilliseconds([&] { sink += tarn::agenttools::stripCodeFences(answer).size(); });
    double copy = medianMilliseconds([&] {
        std::string plain = answer;
        sink += plain.size();
    });
    std::printf("strip code fences, 40,000 spaces: %.3f ms; plain copy: %.4f ms; ratio %.0f (checksum %zu)\n", strip,
                copy, copy > 0 ? strip / copy : 0.0, sink);
}
