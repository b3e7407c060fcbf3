// What a dev server's line says: the address it serves at, that it runs, or that its tool is missing.
#include "TestSupport.h"
#include "process/ServerOutput.h"

#include <gtest/gtest.h>

using namespace tarn;

TEST(ServerOutput, LocalAddressesAndWhatLinesMean) {
    using Meaning = serverOutput::Meaning;
    const std::vector<std::tuple<std::string, std::string, Meaning>> cases{
        {"  \u279C  Local:   http://localhost:5173/", "http://localhost:5173/", Meaning::ready},
        {"   - Local:        http://localhost:3000", "http://localhost:3000", Meaning::ready},
        {"  \u279C  Network: http://192.168.1.20:5173/", "none", Meaning::nothing},
        {"   \u25B2 Next.js 15.3.0", "none", Meaning::nothing},
        {"ready on http://127.0.0.1:8080, press h for help.", "http://127.0.0.1:8080", Meaning::ready},
        {"see (http://localhost:4000/docs).", "http://localhost:4000/docs", Meaning::ready},
        {"zsh: COMMAND NOT FOUND: next", "none", Meaning::commandNotFound},
        {"Server started", "none", Meaning::ready},
    };
    for (const auto& [line, address, meaning] : cases) {
        auto found = serverOutput::localAddress(line);
        EXPECT_EQ(found ? found->string() : std::string("none"), address) << line;
        EXPECT_EQ(serverOutput::meaningOf(line), meaning) << line;
    }
}
