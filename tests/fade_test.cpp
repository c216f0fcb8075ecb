// SPDX-License-Identifier: GPL-3.0-or-later
// Fades between looks: the blend against the formula, the fade against two looks run alone,
// recalls during a fade, size changes, the cut without a fade, the filter's --fade-to.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "engine/blend.h"
#include "engine/effect_mode.h"
#include "engine/look_fade.h"
#include "engine/recall_watch.h"
#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "tests/reference_effects.h"
#include "tests/scratch_dir.h"
#include "tests/test_frames.h"
#include "tools/fx_options.h"
#include "tools/fx_stream.h"

namespace vz {
namespace {

using test::Frame;

// The blend as written: integer arithmetic, division truncating.
uint8_t reference(int o, int w, int j, int n) {
  return static_cast<uint8_t>((o * (n - 1 - j) + w * (j + 1) + n / 2) / n);
}

Frame referenceBlend(const Frame& old, const Frame& fresh, int j, int n) {
  Frame out(fresh.size());
  for (size_t i = 0; i < out.size(); ++i) out[i] = reference(old[i], fresh[i], j, n);
  return out;
}

TEST(Blend, EveryFrameOfAFadeEqualsTheFormulaOnBothPathsOddSizesAndPaddedRows) {
  std::mt19937 gen(7);
  for (bool portable : {false, true}) {
    const test::KernelScope paths(portable);
    for (int n : {1, 2, 7, 30, 127, 128, 256, 257, 4000}) {
      for (auto [rowBytes, rows, oldPad, intoPad] :
           {std::tuple{3 * 37, 5, 5, 13}, std::tuple{3 * 64, 3, 0, 0}, std::tuple{1, 1, 0, 2}}) {
        Frame old = test::randomBytes((rowBytes + oldPad) * rows, gen()),
              into = test::randomBytes((rowBytes + intoPad) * rows, gen());
        old[0] = 255, into[0] = 255, old[1 % old.size()] = 0;  // the extremes
        for (int j = 0; j<n; j += n> 40 ? n / 17 : 1) {
          // Either buffer may take the blend: into (blendFade) or old (blendFadeOver).
          Frame blended = into, over = old;
          blendFade(old.data(), rowBytes + oldPad, blended.data(), rowBytes + intoPad, rowBytes,
                    rows, j, n);
          blendFadeOver(into.data(), rowBytes + intoPad, over.data(), rowBytes + oldPad, rowBytes,
                        rows, j, n);
          for (int y = 0; y < rows; ++y)
            for (int x = 0; x < rowBytes + std::max(oldPad, intoPad); ++x) {
              const size_t o = y * (rowBytes + oldPad) + x, t = y * (rowBytes + intoPad) + x;
              if (x < rowBytes) {
                const uint8_t want = reference(old[o], into[t], j, n);
                ASSERT_EQ(blended[t], want) << "portable " << portable << " n " << n << " j " << j
                                            << " row " << y << " byte " << x;
                ASSERT_EQ(over[o], want) << "over: portable " << portable << " n " << n << " j "
                                         << j << " row " << y << " byte " << x;
              } else {  // padding untouched
                if (x < rowBytes + intoPad) {
                  ASSERT_EQ(blended[t], into[t]);
                }
                if (x < rowBytes + oldPad) {
                  ASSERT_EQ(over[o], old[o]);
                }
              }
            }
        }
      }
    }
  }
}

constexpr int kW = 67, kH = 35;  // odd, and more than one vector block per row

// A look of the given mode with random settings, colour cycling on, so each look's own
// animation shows.
std::unique_ptr<VideoEngine> lookOf(int mode, uint32_t seed) {
  auto e = std::make_unique<VideoEngine>();
  std::mt19937 gen(seed);
  test::randomizeLook(*e, gen);
  e->mode = static_cast<uint8_t>(mode);
  e->colorCycle = 1;
  return e;
}

// Frames of a look run alone from its state now, one per input.
std::vector<Frame> runAlone(VideoEngine& look, const std::vector<Frame>& inputs) {
  std::vector<Frame> out;
  for (Frame f : inputs) {
    look.processFrame(f.data(), kW, kH);
    look.advanceAnimation();
    out.push_back(std::move(f));
  }
  return out;
}

std::vector<Frame> inputs(int count) {
  std::vector<Frame> v;
  for (int i = 0; i < count; ++i) v.push_back(test::randomFrame(kW, kH, 100 + i));
  return v;
}

// Every mode, and Overflow twice more: without its filter, and with a filter all of its
// kind share (fading from one such look into another, one filter serves both).
constexpr int kLooks = kEffectModeCount + 2;
std::unique_ptr<VideoEngine> lookOrOverflow(int look, uint32_t seed) {
  if (look < kEffectModeCount) return lookOf(look, seed);
  auto e = lookOf(static_cast<int>(EffectMode::Overflow), seed);
  const bool filter = look > kEffectModeCount;
  e->lowPassRed = filter ? 5 : 0, e->lowPassGreen = filter ? 9 : 0,
  e->lowPassBlue = filter ? 200 : 0;
  return e;
}

TEST(LookFade, EveryModePairBlendsTheTwoLooksRunAloneThenTheNewLookAloneOnBothPaths) {
  constexpr int kN = 7;
  const auto in = inputs(kN + 2);
  for (bool portable : {false, true}) {
    for (FrameSplit split : {FrameSplit::Never, FrameSplit::Always}) {
      // Always: the two looks side by side on the worker.
      const test::KernelScope paths(portable, split);
      for (int from = 0; from < kLooks; ++from) {
        for (int to = 0; to < kLooks; ++to) {
          auto engine = lookOrOverflow(from, from);
          auto oldAlone = std::make_unique<VideoEngine>(*engine);
          auto target = lookOrOverflow(to, 50 + to);
          LookFade fade;
          fade.startFrom(*engine, kN);
          copyLook(*target, *engine);
          auto newAlone = std::make_unique<VideoEngine>(*engine);
          const auto olds = runAlone(*oldAlone, in), news = runAlone(*newAlone, in);
          for (int j = 0; j < static_cast<int>(in.size()); ++j) {
            Frame f = in[j];
            fade.processFrame(*engine, f.data(), kW, kH);
            fade.advanceAnimation(*engine);
            const Frame want = j < kN ? referenceBlend(olds[j], news[j], j, kN) : news[j];
            ASSERT_EQ(f, want) << "from " << from << " to " << to << " frame " << j << " portable "
                               << portable;
          }
        }
      }
    }
  }
}

// The program's route: recalls written by the panel, noticed by the streaming side.
struct ProgramStream {
  VideoEngine& engine;
  LookFade fade;
  RecallWatch watch;
  Frame frame(Frame f, int w = kW, int h = kH) {
    watch.beforeFrame(engine, fade);
    fade.processFrame(engine, f.data(), w, h);
    fade.advanceAnimation(engine);
    watch.afterFrame(engine);
    return f;
  }
};

std::unique_ptr<VideoEngine> engineWithSlots() {
  auto e = std::make_unique<VideoEngine>();
  for (int slot = 0; slot < 3; ++slot) {
    auto look = lookOf(1 + 2 * slot, 900 + slot);  // Overflow, Color Inv, Smear
    copyLook(*look, *e);
    storeSlot(*e, slot);
  }
  e->colorCycle = 1;
  return e;
}

TEST(LookFade, ARecallDuringAFadeFadesAgainFromTheLookThatWasFadingIn) {
  constexpr int kN = 5;
  const auto in = inputs(14);
  auto e = engineWithSlots();
  recallSlotFields(*e, 0);
  e->fadeLink.setFadeFrames(kN);
  ProgramStream s{*e};
  // A alone runs 3 frames, B is recalled and fades in for 2, then C is recalled.
  auto a = std::make_unique<VideoEngine>(*e);
  std::vector<Frame> got;
  for (int i = 0; i < 3; ++i) got.push_back(s.frame(in[i]));
  const auto aFrames = runAlone(*a, in);  // A as it would run alone throughout
  recallSlotFields(*e, 1);
  auto b = std::make_unique<VideoEngine>(*e);
  for (int i = 3; i < 5; ++i) got.push_back(s.frame(in[i]));
  recallSlotFields(*e, 2);
  auto c = std::make_unique<VideoEngine>(*e);
  for (int i = 5; i < 14; ++i) got.push_back(s.frame(in[i]));

  const std::vector<Frame> bFrames = runAlone(*b, {in.begin() + 3, in.end()});
  const std::vector<Frame> cFrames = runAlone(*c, {in.begin() + 5, in.end()});
  for (int i = 0; i < 14; ++i) {
    Frame want;
    if (i < 3)
      want = aFrames[i];
    else if (i < 5)
      want = referenceBlend(aFrames[i], bFrames[i - 3], i - 3, kN);
    else if (i < 5 + kN)
      want = referenceBlend(bFrames[i - 3], cFrames[i - 5], i - 5, kN);
    else
      want = cFrames[i - 5];
    ASSERT_EQ(got[i], want) << "frame " << i;
  }
}

TEST(LookFade, WithoutAFadeARecallCutsByteForByteAndASizeChangeEndsAFadeAtOnce) {
  const auto in = inputs(8);
  auto faded = engineWithSlots(), plain = std::make_unique<VideoEngine>(*faded);
  ProgramStream s{*faded};
  for (int i = 0; i < 8; ++i) {
    if (i == 3) {
      recallSlotFields(*faded, 1);
      recallSlotFields(*plain, 1);
    }
    Frame want = in[i];
    plain->processFrame(want.data(), kW, kH);
    plain->advanceAnimation();
    ASSERT_EQ(s.frame(in[i]), want) << "fade 0, frame " << i;
  }
  // A fade of 30 frames whose source changes size on its third frame: the new look alone.
  faded->fadeLink.setFadeFrames(30);
  recallSlotFields(*faded, 2), recallSlotFields(*plain, 2);
  for (int i = 0; i < 4; ++i) {
    const int w = i < 2 ? kW : kW - 2;
    Frame f = test::randomFrame(w, kH, i), want = f;
    plain->processFrame(want.data(), w, kH);
    plain->advanceAnimation();
    const Frame got = s.frame(f, w, kH);
    if (i >= 2) {
      ASSERT_EQ(got, want) << "frame " << i << " after the size changed";
    } else if (i == 0) {
      ASSERT_NE(got, want) << "the fade did not start";
    }
  }
}

// Recalls from another thread while frames run: each is noticed once written whole, the
// last one's fade ends in its look alone, and nothing races (run under ThreadSanitizer).
TEST(LookFade, RecallsFromAnotherThreadWhileFramesRun) {
  auto e = engineWithSlots();
  e->colorCycle = 0;
  e->fadeLink.setFadeFrames(3);
  ProgramStream s{*e};
  std::atomic<bool> done{false};
  std::thread gui([&] {
    for (int k = 0; !done.load(); ++k) recallSlotFields(*e, k % 3);
  });
  const Frame f = test::randomFrame(kW, kH, 1);
  for (int i = 0; i < 300; ++i) s.frame(f);
  done = true;
  gui.join();
  // Quiet again: the last recall fades to its end, then its look alone.
  auto alone = std::make_unique<VideoEngine>(*e);
  for (int i = 0; i < 3; ++i) s.frame(f);
  Frame want = f;
  alone->processFrame(want.data(), kW, kH);
  EXPECT_EQ(s.frame(f), want);
}

TEST(FilterFade, FadeToEqualsTheReferenceFromThePresetIntoTheLetter) {
  const test::ScratchDir dir;
  auto bank = engineWithSlots();
  const std::string bankPath = (dir / "looks.pvl").string();
  ASSERT_EQ(saveBankFile(bankPath, *bank), BankIo::Ok);
  constexpr int kN = 7, kFrames = 10;
  constexpr size_t kBytes = kW * kH * 3;
  const Frame input = test::randomFrame(kW, kH * kFrames, 300);  // ten frames
  auto run = [&](const std::vector<std::string>& extra) {
    auto e = std::make_unique<VideoEngine>();
    std::vector<std::string> args = {"--size",  std::to_string(kW) + "x" + std::to_string(kH),
                                     "--bank",  bankPath,
                                     "--cycle", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    const FxRun r = applyFxOptions(args, *e);
    std::istringstream in(std::string(input.begin(), input.end()));
    std::ostringstream out, err;
    EXPECT_EQ(filterFrames(r, *e, in, out, err), 0) << err.str();
    const std::string s = out.str();
    return Frame(s.begin(), s.end());
  };
  const Frame a = run({"--preset", "A"}), c = run({"--preset", "C"});
  const Frame faded = run({"--preset", "A", "--fade-to", "c", "--fade-frames", std::to_string(kN)});
  ASSERT_EQ(faded.size(), kBytes * kFrames);
  auto frame = [&](const Frame& all, int j) {
    return Frame(all.begin() + j * kBytes, all.begin() + (j + 1) * kBytes);
  };
  for (int j = 0; j < kFrames; ++j)
    ASSERT_EQ(frame(faded, j),
              j < kN ? referenceBlend(frame(a, j), frame(c, j), j, kN) : frame(c, j))
        << "frame " << j;
  auto e = std::make_unique<VideoEngine>();
  EXPECT_THROW(applyFxOptions({"--size", "2x2", "--fade-to", "B"}, *e), FxUsageError);
  EXPECT_THROW(applyFxOptions({"--size", "2x2", "--fade-frames", "3"}, *e), FxUsageError);
  EXPECT_THROW(applyFxOptions({"--size", "2x2", "--fade-to", "7", "--fade-frames", "3"}, *e),
               FxUsageError);
}

}  // namespace
}  // namespace vz
