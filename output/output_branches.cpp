#include "output/output_branches.h"

#include <gst/app/gstappsink.h>

#include <cstdio>

#include "output/camera_target.h"

namespace vz {

std::string recordingDescription(const RecordFormat& f) {
  std::string encode;
  switch (f.codec) {
    case VideoCodec::H264:
      // 4:2:0, or players and browsers refuse the file; no look-ahead, so frames reach the
      // file (and survive a kill) at once.
      encode =
          "videoconvert ! video/x-raw,format=I420 ! x264enc speed-preset=veryfast "
          "tune=zerolatency pass=qual quantizer=21 key-int-max=60 threads=2 ! h264parse";
      break;
    case VideoCodec::Vp8:
      encode =
          "videoconvert ! video/x-raw,format=I420 ! vp8enc deadline=1 cpu-used=8 threads=2 "
          "keyframe-max-dist=60 target-bitrate=6000000";
      break;
    case VideoCodec::Vp9:
      encode =
          "videoconvert ! video/x-raw,format=I420 ! vp9enc deadline=1 cpu-used=8 threads=2 "
          "row-mt=true keyframe-max-dist=60 target-bitrate=6000000";
      break;
    case VideoCodec::Ffv1:
      // Fed as BGRx, it decodes back to exactly the processed bytes.
      encode = "videoconvert ! video/x-raw,format=BGRx ! avenc_ffv1";
      break;
  }
  const char* mux = "matroskamux";
  if (f.container == Container::Mp4) mux = "mp4mux fragment-duration=1000";
  if (f.container == Container::WebM) mux = "webmmux";
  return encode + " ! " + mux + " ! filesink name=sink";
}

std::string startRecording(OutputStage& stage, const RecordFormat& f) {
  const std::string error =
      stage.addBranch(kRecordBranch, recordingDescription(f), [&](GstBin* bin) {
        GstElement* sink = gst_bin_get_by_name(bin, "sink");
        g_object_set(sink, "location", f.path.c_str(), nullptr);
        gst_object_unref(sink);
      });
  return error.empty() ? error : "Cannot record into " + f.path + ": " + error;
}

std::string recordingSummary(const std::string& path, const BranchReport& r) {
  const int tenths = static_cast<int>(r.seconds * 10 + 0.5);
  char line[1024];
  std::snprintf(
      line, sizeof line,
      "videozarnix: recorded %s: %d:%02d.%d, %llu frames written, %llu dropped%s", path.c_str(),
      tenths / 600, tenths / 10 % 60, tenths % 10, static_cast<unsigned long long>(r.framesWritten),
      static_cast<unsigned long long>(r.framesDropped), r.finalised ? "" : " (not finalised)");
  return line;
}

std::string cameraDescription(const std::string& target) {
  // PipeWire: each frame goes to our own node, which converts it to what its reader asked for.
  if (target == "pipewire") return "appsink name=sink sync=false enable-last-sample=false";
  return "videoconvert ! video/x-raw,format=YUY2 ! v4l2sink name=sink sync=false";
}

namespace {

GstFlowReturn toCamera(GstAppSink* sink, gpointer camera) {
  if (GstSample* sample = gst_app_sink_pull_sample(sink)) {
    static_cast<PipeWireCamera*>(camera)->deliver(sample);
    gst_sample_unref(sample);
  }
  return GST_FLOW_OK;
}

}  // namespace

std::string startVirtualCamera(OutputStage& stage, const std::string& target,
                               std::unique_ptr<PipeWireCamera>& camera,
                               PipeWireCamera::StateHandler onState) {
  camera.reset();
  if (target == "pipewire") camera = std::make_unique<PipeWireCamera>(std::move(onState));
  PipeWireCamera* node = camera.get();
  std::string error =
      stage.addBranch(kCameraBranch, cameraDescription(target), [&](GstBin* bin) {
        GstElement* sink = gst_bin_get_by_name(bin, "sink");
        if (node != nullptr) {
          GstAppSinkCallbacks callbacks{};
          callbacks.new_sample = toCamera;
          gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, node, nullptr);
        } else {
          g_object_set(sink, "device", target.c_str(), nullptr);
        }
        gst_object_unref(sink);
      });
  // The node offers the outputs' size and rate, fixed once the stage runs.
  if (error.empty() && node != nullptr) {
    error = node->start(stage.format());
    if (!error.empty()) stage.removeBranch(kCameraBranch, std::chrono::milliseconds(0));
  }
  if (!error.empty()) camera.reset();
  return error.empty() ? error : "Cannot start the virtual camera: " + error;
}

}  // namespace vz
