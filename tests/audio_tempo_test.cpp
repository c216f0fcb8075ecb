// SPDX-License-Identifier: GPL-3.0-or-later
// The tempo heard in sound: the beat tracker on sound made here (no daemon), the audio input
// without any device, and a click track played on a private PipeWire.
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
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

void PrintTo(const Track& t, std::ostream* os) {
  *os << t.name;
}

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
                         ::testing::PrintToStringParamName());

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
  void SetUp() override { gst_init(nullptr, nullptr); }
  ScratchDir dir_;
  // Other tests run JACK servers of their own: this one must find none, nor start one.
  ScopedEnv env_{{{"XDG_RUNTIME_DIR", dir_.string()},
                  {"PIPEWIRE_RUNTIME_DIR", dir_.string()},
                  {"PIPEWIRE_REMOTE", "vz-no-such-pipewire"},
                  {"PULSE_SERVER", "unix:" + dir_.string() + "/no-pulse"},
                  {"JACK_DEFAULT_SERVER", "vz-none-" + std::to_string(getpid())},
                  {"JACK_NO_START_SERVER", "1"}}};
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

// The program with --tempo audio and nothing to hear: its one line, and it runs on.
TEST_F(NoAudioDevice, TheProgramSaysSoInOneLine) {
  const std::string log = (dir_ / "program.log").string();
  {
    Child program({VZ_PROGRAM_PATH, "--tempo", "audio", VZ_STILL_CLIP}, log,
                  programEnvironment(dir_));
    ASSERT_TRUE(program.started());
    sleep(4);
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), 0) << "the program ended";
  }
  std::vector<std::string> lines;
  std::istringstream in(readFile(log));
  for (std::string line; std::getline(in, line);)
    if (line.find("audio") != std::string::npos || line.rfind("ALSA lib", 0) == 0 ||
        line.rfind("AL lib", 0) == 0)
      lines.push_back(line);
  ASSERT_EQ(lines.size(), 1u) << readFile(log);
  EXPECT_EQ(lines[0].rfind("videozarnix: ", 0), 0u) << lines[0];
}

TEST(AudioInputNames, EachFormHasItsGraphAndOthersAreRefused) {
  EXPECT_EQ(*audioInputGraph("auto"), "autoaudiosrc");
  EXPECT_EQ(*audioInputGraph("jack"), "jackaudiosrc connect=auto");
  EXPECT_EQ(*audioInputGraph("pipewire:mixer.monitor"),
            "pipewiresrc target-object=\"mixer.monitor\"");
  for (const char* bad : {"pipewire:", "alsa", "pipewire:a\" ! filesink location=x"})
    EXPECT_FALSE(audioInputGraph(bad).ok()) << bad;
}

// A click track at 128 BPM played into a private PipeWire: a virtual sink looped back to a
// virtual source (as a mixer's monitor or a sound card's input would be), the clicks played
// into the sink by this process on the monotonic clock, so that where they fall is known.
TEST(AudioOnPipeWire, AClickTrackAt128GivesItsTempoAndBeats) {
  gst_init(nullptr, nullptr);
  PrivatePipeWire pw;
  if (!pw.ok()) GTEST_SKIP() << "no private PipeWire: " << pw.error();
  ScratchDir dir;
  Child loop({"pw-loopback", "-n", "vz-click-loop",
              "--capture-props=media.class=Audio/Sink node.name=vz-sink audio.position=[MONO]",
              "--playback-props=media.class=Audio/Source node.name=vz-clicks "
              "audio.position=[MONO]"},
             (dir / "loopback.log").string());
  ASSERT_TRUE(loop.started());
  usleep(1'000'000);  // the nodes appear

  const GstClockTime interval = 468'750'000;  // 60 s / 128
  GError* error = nullptr;
  GstElement* player = gst_parse_launch(
      ("audiotestsrc is-live=true wave=ticks volume=0.8 tick-interval=" + std::to_string(interval) +
       " ! audio/x-raw,rate=48000,channels=1 ! pipewiresink target-object=vz-sink")
          .c_str(),
      &error);
  ASSERT_EQ(error, nullptr) << error->message;
  GstClock* monotonic = gst_system_clock_obtain();  // steady_clock's own
  gst_pipeline_use_clock(GST_PIPELINE(player), monotonic);
  gst_element_set_state(player, GST_STATE_PLAYING);
  gst_element_get_state(player, nullptr, nullptr, 5 * GST_SECOND);
  // A click is played when the sink renders it: its running time plus the player's latency.
  GstQuery* latency = gst_query_new_latency();
  GstClockTime playerLatency = 0;
  if (gst_element_query(player, latency))
    gst_query_parse_latency(latency, nullptr, &playerLatency, nullptr);
  gst_query_unref(latency);
  std::printf("[ note ] the player's latency: %.1f ms\n", playerLatency / 1e6);
  const std::int64_t firstClick =
      static_cast<std::int64_t>(gst_element_get_base_time(player) + playerLatency);

  TempoClock clock;
  AudioTempoSource source(clock, "pipewire:vz-clicks");
  const Status started = source.start();
  if (started) std::this_thread::sleep_for(std::chrono::seconds(8));
  const TempoState s = clock.read();
  source.stop();
  gst_element_set_state(player, GST_STATE_NULL);
  gst_object_unref(player);
  gst_object_unref(monotonic);
  ASSERT_TRUE(started.ok()) << started.message();
  ASSERT_TRUE(s.running) << "no beat within 8 s";
  EXPECT_NEAR(s.bpm, 128.0, 1.0);
  // The beats sit on the clicks' grid, a constant delay after them: the way from the player
  // through the looped-back sink to the input (two to eight PipeWire cycles here, varying from run
  // to run, so not checked against 30 ms: that is done above on sound whose times are exact).
  std::vector<double> late;
  for (int k = 0; k < 4; ++k) {
    const std::int64_t beat = timeOfBeat(s, s.anchorBeat + k);
    const double x = static_cast<double>(beat - firstClick) / interval;
    late.push_back((x - std::round(x)) * interval / 1e6);
    std::printf("[ note ] beat %d: %+.1f ms from its click as played\n", k, late.back());
  }
  for (const double ms : late) {
    EXPECT_LT(std::abs(ms), 300.0) << "more than the path's latency";
    // Three beats at a tempo 1 BPM off move 11 ms against the clicks; more is a drift.
    EXPECT_NEAR(ms, late.front(), 12.0) << "the beats drift against the clicks";
  }
}

}  // namespace
}  // namespace vz::test
