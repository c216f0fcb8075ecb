// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared by the element's tests: random looks spelled both as videozarnix-fx options and as
// element properties, the filter run in-process, and padded frames through GstHarness.
#include <gst/check/gstharness.h>
#include <gst/gst.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/test_frames.h"

namespace vz::test {

struct Look {
  std::vector<std::string> fxArgs;
  std::vector<std::pair<std::string, std::string>> properties;  // in the order to set them
};

// A random look in random order: mode, the named settings, palette, and a
// bank of random slots written into `dir` with a letter recalled (and sometimes changed after).
Look randomLook(std::mt19937& gen, const std::filesystem::path& dir);

// videozarnix-fx's own code on packed top-down frames.
Frame runFilter(const Look& look, const Frame& frames, int width, int height);

// GStreamer's row stride for 24-bit pixels.
inline int paddedStride(int width) {
  return (width * 3 + 3) & ~3;
}

// GObject's own warnings and criticals (a value out of range, a bad call), counted rather
// than printed by the tests' main, which also registers the element.
extern std::atomic<int> objectWarnings;

GstHarness* newZarnixHarness(int width, int height);
void setProperties(GstElement* element, const Look& look);
std::string stringProperty(GstElement* element, const char* name);
// Pushes packed frames as padded buffers (filler bytes 0xA5) and returns the packed output;
// fails the test when filler bytes, timestamps or frame count differ.
Frame pushFrames(GstHarness* h, const Frame& frames, int width, int height);

}  // namespace vz::test
