// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A folder of the test's own (named for the process and the test), removed with all it holds
// when the test ends, whatever permissions the test left on it; and whole-file reads and
// writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vz::test {

inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Returns the path, as the options naming the file want it.
inline std::string writeFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
  return p.string();
}

struct ScratchDir {
  std::filesystem::path path;
  explicit ScratchDir(const std::string& prefix = "vz") {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    path = std::filesystem::temp_directory_path() /
           (prefix + "-" + std::to_string(::getpid()) + "-" + (test ? test->name() : "all"));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  operator const std::filesystem::path&() const { return path; }
  std::filesystem::path operator/(const std::string& name) const { return path / name; }
  std::string string() const { return path.string(); }
};

}  // namespace vz::test
