// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/gst_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

#include "engine/effect_mode.h"
#include "engine/setting_names.h"
#include "gst/zarnix_element.h"
#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "tools/fx_options.h"
#include "tools/fx_stream.h"

namespace vz::test {

std::atomic<int> objectWarnings{0};

namespace {

struct LookBuilder {
  std::mt19937& gen;
  Look look;

  int below(int n) { return static_cast<int>(gen() % static_cast<unsigned>(n)); }
  int anyByte() { return below(256); }
  int flag() { return below(3) == 0 ? anyByte() : below(2); }

  void triple(const std::string& name, int a, int b, int c) {
    look.fxArgs.insert(
        look.fxArgs.end(),
        {"--" + name, std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c)});
    const int v[3] = {a, b, c};
    const char* channel[3] = {"red", "green", "blue"};
    for (int i = 0; i < 3; ++i)
      look.properties.emplace_back(name + "-" + channel[i], std::to_string(v[i]));
  }
  void single(const std::string& name, const std::string& fx, const std::string& property) {
    look.fxArgs.insert(look.fxArgs.end(), {"--" + name, fx});
    look.properties.emplace_back(name, property);
  }
};

}  // namespace

Look randomLook(std::mt19937& gen, const std::filesystem::path& dir) {
  LookBuilder b{gen, {}};
  std::vector<int> steps = {0, 1, 5, 6};
  std::shuffle(steps.begin(), steps.end(), gen);
  for (int step : steps) {
    switch (step) {
      case 0: {
        const int mode = b.below(12);
        if (mode < kEffectModeCount)
          b.single("mode", kModeNames[mode], kModeNames[mode]);
        else
          b.single("mode", "10", "unchanged");
        break;
      }
      case 1:
        for (const NamedSetting& n : kNamedSettings) {
          const std::string name = n.name;
          if (name == "cycle") {
            const bool on = b.below(4) != 0;
            b.single("cycle", on ? "1" : "0", on ? "true" : "false");
            continue;
          }
          const bool flagLike = name == "invert" || name == "mirror";
          auto value = [&] {
            return flagLike ? b.flag() : b.below(3) == 0 ? b.below(n.max + 1) : b.below(40);
          };
          const int red = value(), green = value(), blue = value();
          if (n.channels == 3) {
            b.triple(name, red, green, blue);
          } else {
            b.single(name, std::to_string(red), std::to_string(red));
          }
        }
        break;
      case 5: {
        std::string text;
        for (int i = 0; i < 48; ++i)
          text += std::to_string(b.below(4) ? b.anyByte() : b.below(2001) - 1000) + " ";
        const std::filesystem::path path = dir / ("palette" + std::to_string(gen()) + ".txt");
        std::ofstream(path) << text;
        b.look.fxArgs.insert(b.look.fxArgs.end(), {"--palette", path.string()});
        b.look.properties.emplace_back("palette", text);
        break;
      }
      case 6: {
        auto e = std::make_unique<VideoEngine>();
        for (int slot = 0; slot < kLetterSlots; ++slot) {
          randomizeLook(*e, gen);
          e->mode = static_cast<uint8_t>(b.below(4) ? b.below(kEffectModeCount) : b.anyByte());
          e->mirror = static_cast<uint8_t>(b.flag());
          storeSlot(*e, slot);
        }
        const std::filesystem::path path = dir / ("bank" + std::to_string(gen()) + ".pvl");
        saveBankFile(path.string(), *e);
        b.single("bank", path.string(), path.string());
        b.look.properties.back().first = "bank-file";
        const std::string letter(1, static_cast<char>((b.below(2) ? 'a' : 'A') + b.below(26)));
        b.single("preset", letter, letter);
        if (b.below(2)) b.triple("gain", 12, 12, 12);
        break;
      }
    }
  }
  return b.look;
}

Frame runFilter(const Look& look, const Frame& frames, int width, int height) {
  auto e = std::make_unique<VideoEngine>();
  std::vector<std::string> args = look.fxArgs;
  args.insert(args.end(), {"--size", std::to_string(width) + "x" + std::to_string(height)});
  const FxRun run = applyFxOptions(args, *e);
  std::istringstream in(std::string(frames.begin(), frames.end()));
  std::ostringstream out, err;
  EXPECT_EQ(filterFrames(run, *e, in, out, err), 0) << err.str();
  const std::string bytes = out.str();
  return Frame(bytes.begin(), bytes.end());
}

GstHarness* newZarnixHarness(int width, int height) {
  GstHarness* h = gst_harness_new("zarnix");
  const std::string caps = "video/x-raw,format=BGR,width=" + std::to_string(width) +
                           ",height=" + std::to_string(height) + ",framerate=25/1";
  gst_harness_set_src_caps_str(h, caps.c_str());
  return h;
}

void setProperties(GstElement* element, const Look& look) {
  for (const auto& [name, value] : look.properties)
    gst_util_set_object_arg(G_OBJECT(element), name.c_str(), value.c_str());
}

std::string stringProperty(GstElement* element, const char* name) {
  gchar* value = nullptr;
  g_object_get(element, name, &value, nullptr);
  std::string text = value != nullptr ? value : "";
  g_free(value);
  return text;
}

Frame pushFrames(GstHarness* h, const Frame& frames, int width, int height) {
  const size_t rowBytes = static_cast<size_t>(width) * 3, stride = paddedStride(width);
  const size_t frameBytes = rowBytes * height;
  Frame out;
  for (size_t f = 0; f * frameBytes < frames.size(); ++f) {
    GstBuffer* in = gst_buffer_new_and_alloc(stride * height);
    gst_buffer_memset(in, 0, 0xA5, stride * height);
    for (int y = 0; y < height; ++y)
      gst_buffer_fill(in, y * stride, frames.data() + f * frameBytes + y * rowBytes, rowBytes);
    GST_BUFFER_PTS(in) = f * 40 * GST_MSECOND;
    GST_BUFFER_DURATION(in) = 40 * GST_MSECOND;
    EXPECT_EQ(gst_harness_push(h, in), GST_FLOW_OK);
    GstBuffer* result = gst_harness_pull(h);
    if (result == nullptr) {
      ADD_FAILURE() << "no output for frame " << f;
      break;
    }
    EXPECT_EQ(GST_BUFFER_PTS(result), f * 40 * GST_MSECOND);
    EXPECT_EQ(GST_BUFFER_DURATION(result), 40 * GST_MSECOND);
    GstMapInfo map;
    gst_buffer_map(result, &map, GST_MAP_READ);
    EXPECT_EQ(map.size, stride * height);
    for (int y = 0; y < height && map.size >= stride * height; ++y) {
      out.insert(out.end(), map.data + y * stride, map.data + y * stride + rowBytes);
      for (size_t x = rowBytes; x < stride; ++x)
        EXPECT_EQ(map.data[y * stride + x], 0xA5) << "filler byte of row " << y;
    }
    gst_buffer_unmap(result, &map);
    gst_buffer_unref(result);
  }
  return out;
}

}  // namespace vz::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_log_set_writer_func(
      [](GLogLevelFlags level, const GLogField* fields, gsize n, gpointer data) {
        if (!(level & (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL)))
          return g_log_writer_default(level, fields, n, data);
        vz::test::objectWarnings.fetch_add(1);
        return G_LOG_WRITER_HANDLED;
      },
      nullptr, nullptr);
  gst_init(&argc, &argv);
  vz::registerZarnixElement(nullptr);
  return RUN_ALL_TESTS();
}
