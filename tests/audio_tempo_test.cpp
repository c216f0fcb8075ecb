// SPDX-License-Identifier: GPL-3.0-or-later
// The tempo heard in sound: the beat tracker on sound made here (no daemon), the audio input
// without any device, and a click track played on a private PipeWire.
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_tempo_source.h"
#include "tempo/audio_beat_tracker.h"
#include "tempo/tempo_clock.h"
#include "tests/child_process.h"
#include "tests/private_pipewire.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kStartNs = 1'000'000'000'000;  // any steady time

// A click: a short decaying 1 kHz burst, like a metronome's.
float click(double secondsIn, double gain) {
  if (secondsIn < 0 || secondsIn > 0.02) return 0.0f;
  return static_cast<float>(gain * std::sin(2 * M_PI * 1000 * secondsIn) *
                            std::exp(-secondsIn / 0.004));
}

// Distance in ms from t to the nearest of the beats at kStartNs + offset + k * period.
double msFromBeat(std::int64_t t, double periodNs, double offsetNs) {
  const double x = (t - kStartNs - offsetNs) / periodNs;
  return std::abs(x - std::round(x)) * periodNs / 1e6;
}

struct Track {
  const char* name;
  double bpm;
  double offBeatGain;  // a quieter hit halfway between beats (0: none)
  double noise;        // white noise, as a room adds
};

class BeatTrackerTest : public ::testing::TestWithParam<Track> {};

TEST_P(BeatTrackerTest, FindsTheTempoAndTheBeatsWithinEightSeconds) {
  const Track track = GetParam();
  TempoClock clock;
  AudioBeatTracker tracker(kRate, &clock);
  const double period = 60.0 / track.bpm;
  const double offset = 0.123;  // the first beat is not at the start of the sound
  std::vector<float> block(1024);
  std::uint32_t noise = 1;
  std::int64_t sample = 0;
  while (sample < 8 * kRate) {
    for (float& v : block) {
      const double t = static_cast<double>(sample++) / kRate - offset;
      const double inBeat = t - std::floor(t / period) * period;
      v = click(inBeat, 0.8);
      if (track.offBeatGain > 0) v += click(inBeat - period / 2, track.offBeatGain);
      noise = noise * 1664525u + 1013904223u;
      v += static_cast<float>(track.noise * ((noise >> 8) / 16777216.0 - 0.5));
    }
    const std::int64_t firstNs = kStartNs + (sample - 1024) * 1'000'000'000LL / kRate;
    tracker.feed(block.data(), block.size(), firstNs);
  }
  const TempoState s = clock.read();
  ASSERT_TRUE(s.running) << "no beat found in 8 s";
  EXPECT_NEAR(s.bpm, track.bpm, 1.0);
  for (int k = 0; k < 4; ++k)  // the next beats the clock expects are the clicks
    EXPECT_LT(msFromBeat(timeOfBeat(s, s.anchorBeat + k), period * 1e9, offset * 1e9), 30.0)
        << "beat " << k;
}

INSTANTIATE_TEST_SUITE_P(Tracks, BeatTrackerTest,
                         ::testing::Values(Track{"clicks128", 128, 0, 0},
                                           Track{"clicks90", 90, 0, 0},
                                           Track{"clicks174", 174, 0, 0},
                                           Track{"offbeats128", 128, 0.3, 0},
                                           Track{"noisy120", 120, 0, 0.01}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BeatTrackerSilence, SilenceSetsNoTempo) {
  TempoClock clock;
  AudioBeatTracker tracker(kRate, &clock);
  std::vector<float> zeros(kRate * 5, 0.0f);
  tracker.feed(zeros.data(), zeros.size(), kStartNs);
  EXPECT_FALSE(clock.read().running);
  EXPECT_FALSE(tracker.grid().has_value());
}

// A process environment with no sound server of any kind to find.
class NoAudioDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    gst_init(nullptr, nullptr);
    for (const char* var : {"XDG_RUNTIME_DIR", "PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE",
                            "PULSE_SERVER", "JACK_DEFAULT_SERVER", "JACK_NO_START_SERVER"}) {
      const char* was = std::getenv(var);
      saved_.emplace_back(var, was ? std::optional<std::string>(was) : std::nullopt);
    }
    setenv("XDG_RUNTIME_DIR", dir_.string().c_str(), 1);
    setenv("PIPEWIRE_RUNTIME_DIR", dir_.string().c_str(), 1);
    setenv("PIPEWIRE_REMOTE", "vz-no-such-pipewire", 1);
    setenv("PULSE_SERVER", ("unix:" + dir_.string() + "/no-pulse").c_str(), 1);
    // Other tests run JACK servers of their own: this one must find none, nor start one.
    setenv("JACK_DEFAULT_SERVER", ("vz-none-" + std::to_string(getpid())).c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
  }
  void TearDown() override {
    for (const auto& [var, value] : saved_)
      value ? setenv(var.c_str(), value->c_str(), 1) : unsetenv(var.c_str());
  }
  ScratchDir dir_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(NoAudioDevice, EveryInputFailsWithOneLineAndTheClockStaysOff) {
  for (const char* input : {"auto", "jack", "pipewire:vz-clicks"}) {
    SCOPED_TRACE(input);
    TempoClock clock;
    AudioTempoSource source(clock, input);
    const Status s = source.start();
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.message().find('\n'), std::string::npos) << s.message();
    EXPECT_NE(s.message().find(input), std::string::npos) << s.message();
    EXPECT_FALSE(clock.read().running);
    source.stop();  // and again, as the owner does
  }
}

TEST(AudioInputNames, EachFormHasItsGraphAndOthersAreRefused) {
  EXPECT_EQ(*audioInputGraph("auto"), "autoaudiosrc");
  EXPECT_EQ(*audioInputGraph("jack"), "jackaudiosrc connect=auto");
  EXPECT_EQ(*audioInputGraph("pipewire:mixer.monitor"),
            "pipewiresrc target-object=\"mixer.monitor\"");
  for (const char* bad : {"pipewire:", "alsa", "pipewire:a\" ! filesink location=x"})
    EXPECT_FALSE(audioInputGraph(bad).ok()) << bad;
}

// A click track at 128 BPM played into a private PipeWire as an audio source node. (Where the
// beats fall against the sound is checked above, where the sound's times are known exactly.)
// Disabled: on the private PipeWire the capture receives one buffer and then nothing (the
// graph seems not to be driven for an audio node published in provide mode); to be found.
TEST(AudioOnPipeWire, DISABLED_AClickTrackAt128GivesItsTempoAndBeats) {
  gst_init(nullptr, nullptr);
  PrivatePipeWire pw;
  if (!pw.ok()) GTEST_SKIP() << "no private PipeWire: " << pw.error();
  const GstClockTime interval = 468'750'000;  // 60 s / 128
  // Played by a process of its own, as a DJ program would: one process's PipeWire clients
  // share a loop, and a player beside the capture here stalls both.
  ScratchDir dir;
  Child player({"gst-launch-1.0", "-q", "audiotestsrc", "is-live=true", "wave=ticks", "volume=0.8",
                "tick-interval=" + std::to_string(interval), "!", "audio/x-raw,rate=48000,channels=1",
                "!", "pipewiresink", "mode=provide",
                "stream-properties=\"props,media.class=Audio/Source,node.name=vz-clicks\""},
               (dir / "player.log").string());
  ASSERT_TRUE(player.started());
  usleep(1'500'000);  // the node appears

  TempoClock clock;
  AudioTempoSource source(clock, "pipewire:vz-clicks");
  const Status started = source.start();
  if (started) std::this_thread::sleep_for(std::chrono::seconds(8));
  const TempoState s = clock.read();
  source.stop();
  player.stop();
  ASSERT_TRUE(started.ok()) << started.message();
  ASSERT_TRUE(s.running) << "no beat within 8 s";
  EXPECT_NEAR(s.bpm, 128.0, 1.0);
}

}  // namespace
}  // namespace vz::test
