// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/camera_modes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

namespace vz {
namespace {

constexpr int kMaxWidth = 1920;
constexpr int kMaxHeight = 1080;
constexpr int kMinSmoothFps = 25;

long long area(const CameraMode& m) {
  return static_cast<long long>(m.width) * m.height;
}
bool fitsFullHd(const CameraMode& m) {
  return m.width <= kMaxWidth && m.height <= kMaxHeight;
}
bool smooth(const CameraMode& m) {
  return m.fpsDen > 0 && m.fpsNum >= kMinSmoothFps * static_cast<long long>(m.fpsDen);
}

// Larger is better: size, then raw, then rate.
auto defaultRank(const CameraMode& m) {
  return std::make_tuple(area(m), m.width, !m.compressed, m.fps());
}

CameraMode defaultChoice(const std::vector<CameraMode>& modes) {
  const CameraMode* best = nullptr;
  for (const CameraMode& m : modes)
    if (fitsFullHd(m) && smooth(m) && (best == nullptr || defaultRank(m) > defaultRank(*best)))
      best = &m;
  if (best != nullptr) return *best;
  // Nothing smooth enough: the largest size (within full HD when there is one), fastest.
  const bool anyFits = std::any_of(modes.begin(), modes.end(), fitsFullHd);
  auto rank = [](const CameraMode& m) {
    return std::make_tuple(area(m), m.width, m.fps(), !m.compressed);
  };
  for (const CameraMode& m : modes)
    if ((!anyFits || fitsFullHd(m)) && (best == nullptr || rank(m) > rank(*best))) best = &m;
  return *best;
}

// One value of an int field, or the top of its range clamped to limit.
bool readSize(const GstStructure* s, const char* field, int limit, int& out) {
  const GValue* v = gst_structure_get_value(s, field);
  if (v == nullptr) return false;
  if (G_VALUE_HOLDS_INT(v)) {
    out = g_value_get_int(v);
    return out > 0;
  }
  if (GST_VALUE_HOLDS_INT_RANGE(v)) {
    const int lo = gst_value_get_int_range_min(v), hi = gst_value_get_int_range_max(v);
    out = std::max(lo, std::min(hi, limit));
    return out > 0;
  }
  return false;
}

void readRates(const GValue* v, std::vector<std::pair<int, int>>& rates) {
  if (v == nullptr) return;
  if (GST_VALUE_HOLDS_FRACTION(v)) {
    rates.emplace_back(gst_value_get_fraction_numerator(v), gst_value_get_fraction_denominator(v));
  } else if (GST_VALUE_HOLDS_FRACTION_RANGE(v)) {
    readRates(gst_value_get_fraction_range_max(v), rates);
  } else if (GST_VALUE_HOLDS_LIST(v)) {
    for (guint i = 0; i < gst_value_list_get_size(v); ++i)
      readRates(gst_value_list_get_value(v, i), rates);
  }
}

std::string firstFormat(const GstStructure* s) {
  const GValue* v = gst_structure_get_value(s, "format");
  if (v != nullptr && G_VALUE_HOLDS_STRING(v)) return g_value_get_string(v);
  if (v != nullptr && GST_VALUE_HOLDS_LIST(v) && gst_value_list_get_size(v) > 0) {
    const GValue* first = gst_value_list_get_value(v, 0);
    if (G_VALUE_HOLDS_STRING(first)) return g_value_get_string(first);
  }
  return {};
}

}  // namespace

ModeChoice chooseCameraMode(const std::vector<CameraMode>& modes, const ModeRequest& request) {
  ModeChoice choice;
  if (modes.empty()) return choice;
  choice.found = true;
  const CameraMode preferred = defaultChoice(modes);
  if (request.width <= 0 && request.fps <= 0) {
    choice.mode = preferred;
    return choice;
  }
  const bool wantSize = request.width > 0 && request.height > 0;
  const int w = wantSize ? request.width : preferred.width;
  const int h = wantSize ? request.height : preferred.height;
  auto key = [&](const CameraMode& m) {
    const double rate = request.fps > 0 ? std::abs(m.fps() - request.fps) : -m.fps();
    return std::make_tuple(std::abs(m.width - w) + std::abs(m.height - h), rate, m.compressed);
  };
  const CameraMode* best = &modes.front();
  for (const CameraMode& m : modes)
    if (key(m) < key(*best)) best = &m;
  choice.mode = *best;
  choice.exact = (!wantSize || (best->width == w && best->height == h)) &&
                 (request.fps <= 0 || std::abs(best->fps() - request.fps) < 0.5);
  return choice;
}

std::vector<CameraMode> cameraModesFromCaps(const GstCaps* caps) {
  std::vector<CameraMode> modes;
  if (caps == nullptr || gst_caps_is_any(caps)) return modes;
  for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
    // Frames in special memory (DMA buffers) need elements of their own to read.
    GstCapsFeatures* features = gst_caps_get_features(caps, i);
    if (features != nullptr && !gst_caps_features_is_any(features) &&
        !gst_caps_features_is_equal(features, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY))
      continue;
    const GstStructure* s = gst_caps_get_structure(caps, i);
    const char* name = gst_structure_get_name(s);
    CameraMode mode;
    if (std::strcmp(name, "image/jpeg") == 0) {
      mode.compressed = true;
    } else if (std::strcmp(name, "video/x-raw") == 0) {
      mode.format = firstFormat(s);
      if (mode.format.empty()) continue;
    } else {
      continue;
    }
    if (!readSize(s, "width", kMaxWidth, mode.width) ||
        !readSize(s, "height", kMaxHeight, mode.height))
      continue;
    std::vector<std::pair<int, int>> rates;
    readRates(gst_structure_get_value(s, "framerate"), rates);
    if (rates.empty()) rates.emplace_back(0, 1);  // the device does not say
    for (auto [num, den] : rates) {
      mode.fpsNum = num;
      mode.fpsDen = den > 0 ? den : 1;
      if (std::find(modes.begin(), modes.end(), mode) == modes.end()) modes.push_back(mode);
    }
  }
  return modes;
}

GstCaps* capsForMode(const CameraMode& mode) {
  GstCaps* caps =
      gst_caps_new_simple(mode.compressed ? "image/jpeg" : "video/x-raw", "width", G_TYPE_INT,
                          mode.width, "height", G_TYPE_INT, mode.height, nullptr);
  if (!mode.compressed)
    gst_caps_set_simple(caps, "format", G_TYPE_STRING, mode.format.c_str(), nullptr);
  if (mode.fpsNum > 0)
    gst_caps_set_simple(caps, "framerate", GST_TYPE_FRACTION, mode.fpsNum, mode.fpsDen, nullptr);
  return caps;
}

std::string describeMode(const CameraMode& mode) {
  char fps[32];
  std::snprintf(fps, sizeof fps, "%g", std::round(mode.fps() * 100) / 100);
  return std::to_string(mode.width) + "x" + std::to_string(mode.height) + " at " + fps + " fps (" +
         (mode.compressed ? std::string("MJPEG") : mode.format) + ")";
}

}  // namespace vz
