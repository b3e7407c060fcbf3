#pragma once
#include "support/Task.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <optional>
#include <string>
#include <vector>

namespace tarn::test {

// A fresh temporary folder, removed with everything in it at the end of the test.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "tarn-test-");
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, const std::string& contents);
std::string readFile(const std::filesystem::path& path);
// What a shell command run in `folder` prints on its standard output.
std::string outputOf(const std::string& command, const std::filesystem::path& folder);
// Writes an executable shell script (`#!/bin/sh` is added).
void writeScript(const std::filesystem::path& path, const std::string& body);

// Sets (or with nullopt, unsets) an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// A TCP port on 127.0.0.1 that nothing listens on at the moment of asking.
int freeLocalPort();
// True when something accepts connections on 127.0.0.1 at the port.
bool portAcceptsConnections(int port);

// The process id a script wrote to `file` ("echo $$ > file"), once the whole line is there; 0 when
// it is not there within the limit. The file exists before the shell has written its line.
int waitForPidFile(const std::filesystem::path& file, std::chrono::milliseconds limit = std::chrono::seconds(60));

// Turns the main loop until `done` holds; false when `limit` passes first.
bool runLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(60));

// Runs a task on the main loop to its end (bounded in time) and gives its value or exception.
template <typename T>
T runTask(Task<T> task, std::chrono::milliseconds limit = std::chrono::seconds(120)) {
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
    std::exception_ptr error;
    bool finished = false;
    auto wrapper = [](Task<T> inner, auto& value, std::exception_ptr& error, bool& finished) -> Task<void> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await inner;
                value.emplace(true);
            } else {
                value.emplace(co_await inner);
            }
        } catch (...) {
            error = std::current_exception();
        }
        finished = true;
    };
    spawn(wrapper(std::move(task), value, error, finished));
    if (!runLoopUntil([&] { return finished; }, limit)) throw std::runtime_error("task did not finish in time");
    if (error) std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>) return std::move(*value);
}


}  // namespace tarn::test
