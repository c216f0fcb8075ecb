// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/output_branches.h"

#include <gst/app/gstappsink.h>

#include <cstdio>

#include "base/terminal_safe.h"
#include "gstref/gst_ref.h"
#include "output/camera_target.h"

namespace vz {

std::string recordingDescription(const RecordFormat& f) {
  // Each encoder set for live use: no look-ahead (frames reach the file, and survive a kill,
  // at once), its fastest real-time speed, a key frame at least every 2 s. The encoder is
  // named "stamp": the frames it takes carry the recording's own grid times.
  std::string encode;
  switch (f.codec) {
    case VideoCodec::H264:
      // 4:2:0, or players and browsers refuse the file.
      encode =
          "videoconvert ! video/x-raw,format=I420 ! x264enc name=stamp speed-preset=veryfast "
          "tune=zerolatency pass=qual quantizer=21 key-int-max=60 threads=2 ! h264parse";
      break;
    case VideoCodec::Vp8:
      // One thread: libvpx's VP8 threads wait for each other by spinning, which on a machine
      // with more busy threads than cores costs five times the CPU and drops half the frames.
      encode =
          "videoconvert ! video/x-raw,format=I420 ! vp8enc name=stamp deadline=1 cpu-used=16 "
          "threads=1 lag-in-frames=0 keyframe-max-dist=60 target-bitrate=6000000";
      break;
    case VideoCodec::Vp9:
      encode =
          "videoconvert ! video/x-raw,format=I420 ! vp9enc name=stamp deadline=1 cpu-used=8 "
          "threads=2 row-mt=true lag-in-frames=0 keyframe-max-dist=60 target-bitrate=6000000";
      break;
    case VideoCodec::Ffv1:
      // Fed as BGRx, it decodes back to exactly the processed bytes.
      encode = "videoconvert ! video/x-raw,format=BGRx ! avenc_ffv1 name=stamp";
      break;
  }
  const char* mux = "matroskamux";
  if (f.container == Container::Mp4) mux = "mp4mux fragment-duration=1000";
  if (f.container == Container::WebM) mux = "webmmux";
  return encode + " ! " + mux + " ! filesink name=sink";
}

Status startRecording(OutputStage& stage, const RecordFormat& f) {
  const bool black = stage.sourceAbsent();
  const Status added = stage.addBranch(kRecordBranch, recordingDescription(f), [&](GstBin* bin) {
    const GRef<GstElement> sink(gst_bin_get_by_name(bin, "sink"));
    g_object_set(sink, "location", f.path.c_str(), nullptr);
  });
  if (!added) return Status::failure("Cannot record into " + f.path + ": " + added.message());
  stage.labelBranch(kRecordBranch, codecName(f.codec));
  if (black)
    std::fprintf(stderr, "videozarnix: no source delivers frames: %s starts black\n",
                 f.path.c_str());
  return {};
}

std::string recordingSummary(const std::string& path, const BranchReport& r) {
  const int tenths = static_cast<int>(r.seconds * 10 + 0.5);
  // The encoder itself fell behind (more than 1 in 100 frames): say which, at which size.
  std::string behind;
  if (r.droppedBehind * 100 > r.framesWritten + r.droppedBehind)
    behind = ", " + std::to_string(r.droppedBehind) + " of them because " +
             (r.label.empty() ? std::string("the encoder") : r.label) + " could not keep up at " +
             std::to_string(r.format.width) + "x" + std::to_string(r.format.height);
  char line[1024];
  std::snprintf(line, sizeof line,
                "videozarnix: recorded %s: %d:%02d.%d, %llu frames written, %llu repeated, %llu "
                "dropped%s%s",
                terminalSafe(path).c_str(), tenths / 600, tenths / 10 % 60, tenths % 10,
                static_cast<unsigned long long>(r.framesWritten),
                static_cast<unsigned long long>(r.framesRepeated),
                static_cast<unsigned long long>(r.framesDropped), behind.c_str(),
                r.finalised ? "" : " (not finalised)");
  return line;
}

std::string cameraDescription(const std::string& target) {
  // PipeWire: each frame goes to our own node, which converts it to what its reader asked for.
  if (target == "pipewire") return "appsink name=sink sync=false enable-last-sample=false";
  return "videoconvert ! video/x-raw,format=YUY2 ! v4l2sink name=sink sync=false";
}

namespace {

GstFlowReturn toCamera(GstAppSink* sink, gpointer camera) {
  if (const GRef<GstSample> sample{gst_app_sink_pull_sample(sink)})
    static_cast<PipeWireCamera*>(camera)->deliver(sample);
  return GST_FLOW_OK;
}

}  // namespace

Status startVirtualCamera(OutputStage& stage, const std::string& target,
                          std::unique_ptr<PipeWireCamera>& camera,
                          PipeWireCamera::StateHandler onState) {
  camera.reset();
  if (target == "pipewire") camera = std::make_unique<PipeWireCamera>(std::move(onState));
  PipeWireCamera* node = camera.get();
  Status started = stage.addBranch(kCameraBranch, cameraDescription(target), [&](GstBin* bin) {
    const GRef<GstElement> sink(gst_bin_get_by_name(bin, "sink"));
    if (node != nullptr) {
      GstAppSinkCallbacks callbacks{};
      callbacks.new_sample = toCamera;
      gst_app_sink_set_callbacks(GST_APP_SINK(sink.get()), &callbacks, node, nullptr);
    } else {
      g_object_set(sink, "device", target.c_str(), nullptr);
    }
  });
  // The node offers the outputs' size and rate, fixed once the stage runs.
  if (started && node != nullptr) {
    started = node->start(stage.format());
    if (!started) stage.removeBranch(kCameraBranch, std::chrono::milliseconds(0));
  }
  if (started) return {};
  camera.reset();
  return Status::failure("Cannot start the virtual camera: " + started.message());
}

}  // namespace vz
