#pragma once
#include <filesystem>
#include <optional>
#include <string>

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

}  // namespace tarn::test
