// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/audio_tempo_source.h"

#include <gst/app/gstappsink.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tempo/audio_beat_tracker.h"
#include "tempo/tempo_clock.h"

namespace vz {
namespace {

constexpr GstClockTime kPullTimeout = 100 * GST_MSECOND;  // how soon stop() is heard
constexpr auto kFirstSoundWait = std::chrono::seconds(3);

// One line from the first error on the bus, if any.
std::string takeError(GstElement* pipeline) {
  const GRef<GstBus> bus(gst_element_get_bus(pipeline));
  const GRef<GstMessage> msg(gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR));
  if (!msg) return {};
  GRef<GError> error;
  gst_message_parse_error(msg, error.out(), nullptr);
  return error ? error->message : "unknown error";
}

// Whether "auto" has anything to open: a PipeWire or PulseAudio server of this session, or a
// sound card that records. Without any, the stock source would go through every audio library
// in turn, each printing its own complaint, to end in a failure anyway.
bool anyAudioInput() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* remote = std::getenv("PIPEWIRE_REMOTE");
  const std::string dir = runtime != nullptr ? runtime : "";
  if (!dir.empty() && (fs::exists(dir + "/" + (remote != nullptr ? remote : "pipewire-0"), ec) ||
                       fs::exists(dir + "/pulse/native", ec)))
    return true;
  if (const char* pulse = std::getenv("PULSE_SERVER"); pulse != nullptr) {
    const std::string server = pulse;
    if (server.rfind("unix:", 0) != 0 || fs::exists(server.substr(5), ec))
      return true;  // or remote
  }
  for (const fs::directory_entry& e : fs::directory_iterator("/dev/snd", ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("pcmC", 0) == 0 && name.back() == 'c') return true;  // a capture device
  }
  return false;
}

}  // namespace

Result<std::string> audioInputGraph(const std::string& input) {
  if (input.empty() || input == "auto") return std::string("autoaudiosrc");
  if (input == "jack") return std::string("jackaudiosrc connect=auto");
  const std::string prefix = "pipewire:";
  if (input.rfind(prefix, 0) == 0 && input.size() > prefix.size()) {
    const std::string node = input.substr(prefix.size());
    // The node's name goes into a graph description: quotes and escapes would change its meaning.
    for (const char c : node)
      if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
        return Result<std::string>::failure("--audio-input: the PipeWire node name '" + node +
                                            "' holds a character that no node name has");
    return "pipewiresrc target-object=\"" + node + "\"";
  }
  return Result<std::string>::failure("--audio-input: expected auto, pipewire:NODE or jack, got '" +
                                      input + "'");
}

AudioTempoSource::AudioTempoSource(TempoClock& clock, std::string input)
    : clock_(clock), input_(std::move(input)) {}

AudioTempoSource::~AudioTempoSource() {
  stop();
}

Status AudioTempoSource::start() {
  if (pipeline_) return {};
  const Result<std::string> graph = audioInputGraph(input_);
  if (!graph) return graph.status();
  if (*graph == "autoaudiosrc" && !anyAudioInput())
    return Status::failure("no audio input for '" + input_ +
                           "': no PipeWire or PulseAudio server and no sound card that records; "
                           "the tempo stays off");
  // Mono floats at one rate: what the tracker takes. The appsink keeps a hundred buffers at
  // most; should the tracker fall that far behind, old sound is dropped, never the capture held.
  const std::string description =
      *graph +
      " ! queue ! audioconvert ! audioresample ! audio/x-raw,format=F32LE,channels=1,rate=" +
      std::to_string(kSampleRate) + " ! appsink name=sink sync=false max-buffers=100 drop=true";
  GRef<GError> error;
  pipeline_ = sinkRef(gst_parse_launch(description.c_str(), error.out()));
  if (error) {
    pipeline_.reset();
    return Status::failure("cannot open the audio input '" + input_ + "': " + error->message);
  }
  sink_.reset(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "sink"));

  auto fail = [this](const std::string& why) {
    stop();
    return Status::failure("no sound from the audio input '" + input_ + "' (" + why +
                           "); the tempo stays off");
  };
  if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    const std::string why = takeError(pipeline_);
    return fail(why.empty() ? "it cannot start" : why);
  }
  // An input that cannot be opened says so on the bus, one that waits for a device never
  // sends sound: either way a bounded wait tells.
  const auto end = std::chrono::steady_clock::now() + kFirstSoundWait;
  GRef<GstSample> first;
  while (!first) {
    if (const std::string why = takeError(pipeline_); !why.empty()) return fail(why);
    if (std::chrono::steady_clock::now() > end) return fail("nothing came within 3 s");
    first.reset(gst_app_sink_try_pull_sample(GST_APP_SINK(sink_.get()), 50 * GST_MSECOND));
  }
  tracker_ = std::make_unique<AudioBeatTracker>(kSampleRate, &clock_);
  handleSample(first);
  quit_.store(false);
  thread_ = std::thread([this] { run(); });
  return {};
}

void AudioTempoSource::stop() {
  quit_.store(true);
  if (thread_.joinable()) thread_.join();
  if (pipeline_) {
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    sink_.reset();
    pipeline_.reset();
  }
  tracker_.reset();
}

void AudioTempoSource::run() {
  while (!quit_.load()) {
    if (const std::string why = takeError(pipeline_); !why.empty()) {
      std::fprintf(stderr, "videozarnix: the audio input '%s' stopped: %s\n", input_.c_str(),
                   why.c_str());
      return;
    }
    const GRef<GstSample> sample(
        gst_app_sink_try_pull_sample(GST_APP_SINK(sink_.get()), kPullTimeout));
    if (sample) handleSample(sample);
  }
}

// The first sample's steady-clock time: its capture time on the pipeline's clock, carried over
// by how far that clock is from now. Capture times already leave out the input's latency.
void AudioTempoSource::handleSample(GstSample* sample) {
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  if (buffer == nullptr) return;
  GstMapInfo map;
  if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return;
  const std::size_t count = map.size / sizeof(float);
  const std::int64_t nowNs = steadyNowNs();
  std::int64_t firstNs = nowNs - static_cast<std::int64_t>(count * 1'000'000'000LL / kSampleRate);
  const GRef<GstClock> clock(gst_element_get_clock(pipeline_));
  const GstSegment* segment = gst_sample_get_segment(sample);
  if (clock != nullptr && segment != nullptr && GST_BUFFER_PTS_IS_VALID(buffer)) {
    const GstClockTime running =
        gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (GST_CLOCK_TIME_IS_VALID(running)) {
      const GstClockTime captured = gst_element_get_base_time(pipeline_) + running;
      firstNs = nowNs - (static_cast<std::int64_t>(gst_clock_get_time(clock)) -
                         static_cast<std::int64_t>(captured));
    }
  }
  tracker_->feed(reinterpret_cast<const float*>(map.data), count, firstNs);
  gst_buffer_unmap(buffer, &map);
}

std::unique_ptr<TempoSource> makeAudioTempoSource(TempoClock& clock,
                                                  const TempoSourceOptions& options) {
  return std::make_unique<AudioTempoSource>(clock, options.audioInput);
}

}  // namespace vz
