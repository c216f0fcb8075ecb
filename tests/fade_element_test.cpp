// SPDX-License-Identifier: GPL-3.0-or-later
// The element's fade: a change of preset with `fade` set equals the filter's --fade-to frame
// for frame, padded rows included, into looks that would otherwise pass frames untouched.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <random>

#include "presets/bank_bytes.h"
#include "presets/preset_slot.h"
#include "tests/gst_test_support.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

TEST(ElementFade, APresetChangeFadesAsTheFilterFadesFrameForFrame) {
  const ScratchDir dir{"vz-fade"};
  std::mt19937 gen(11);
  auto bank = std::make_unique<VideoEngine>();
  for (int slot = 0; slot < 26; ++slot) {
    randomizeLook(*bank, gen);
    bank->mode = static_cast<uint8_t>(slot % 10);  // B (slot 1) Overflow ... K (slot 10) Source
    bank->mirror = 0;
    storeSlot(*bank, slot);
  }
  const std::string bankPath = (dir / "looks.pvl").string();
  {
    uint8_t bytes[kBankBytes];
    encodeBank(*bank, bytes);
    std::ofstream(bankPath, std::ios::binary).write(reinterpret_cast<char*>(bytes), kBankBytes);
  }
  constexpr int kW = 13, kH = 7;  // padded rows: 39 bytes in a 40-byte stride
  // 0.28 s at the harness's 25 frames per second: 7 frames.
  for (const auto& [from, to] : {std::pair{"B", "G"}, std::pair{"G", "K"}, std::pair{"K", "D"}}) {
    GstHarness* h = newZarnixHarness(kW, kH);
    gst_util_set_object_arg(G_OBJECT(h->element), "bank-file", bankPath.c_str());
    gst_util_set_object_arg(G_OBJECT(h->element), "preset", from);
    const Frame before = randomFrame(kW, kH * 2, 5), after = randomFrame(kW, kH * 9, 6);
    const Frame shownBefore = pushFrames(h, before, kW, kH);
    g_object_set(h->element, "fade", 0.28, "preset", to, nullptr);
    double fade = 0;
    g_object_get(h->element, "fade", &fade, nullptr);
    EXPECT_DOUBLE_EQ(fade, 0.28);
    const Frame shownAfter = pushFrames(h, after, kW, kH);
    gst_harness_teardown(h);

    EXPECT_EQ(shownBefore, runFilter({{"--bank", bankPath, "--preset", from}, {}}, before, kW, kH));
    EXPECT_EQ(
        shownAfter,
        runFilter(
            {{"--bank", bankPath, "--preset", from, "--fade-to", to, "--fade-frames", "7"}, {}},
            after, kW, kH))
        << from << " into " << to;
  }
}

}  // namespace
}  // namespace vz::test
