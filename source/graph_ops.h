// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <memory>
#include <string>

#include "gstref/gst_ref.h"
#include "source/graph_result.h"
#include "source/graph_watch.h"

namespace vz {

// The graph operations on GStreamer objects: the graph manager is a pipeline, filters are
// elements, pins are pads.

// The first pad of filter, in the element's own pad order, with the given direction and
// nothing linked; *pin receives a reference the caller owns. kEFail when none qualifies.
HResult findUnconnectedPin(GstElement* filter, PinDirection direction, GstPad** pin);
// Connects output to the first unconnected input pad of downstream through graph.
HResult connectPinToFilter(GstElement* graph, GstPad* output, GstElement* downstream);
// Connects the first unconnected output pad of upstream to downstream through graph.
HResult connectFilterPair(GstElement* graph, GstElement* upstream, GstElement* downstream);

// Intelligent connection: links the pads directly when the output's formats are known and
// fit; otherwise inserts what is needed for raw video to arrive (a decoder bin, which
// brings demuxers and decoders, then colour conversion), linked as the pads appear.
// Streams other than the first video stream are left unlinked, so they never play.
HResult graphConnect(GstElement* graph, GstPad* output, GstPad* input);
// The same chain, inserted whatever the output offers: a device's formats are only known
// once it is open, and it may deliver compressed frames (MJPEG).
HResult graphConnectConverted(GstElement* graph, GstPad* output, GstPad* input);

// A still picture (PNG, JPEG) as a steady stream: decoder, then the one frame repeated at
// fps, converted, to input.
HResult graphConnectStill(GstElement* graph, GstPad* output, GstPad* input, int fps);
// Whether the file holds a single picture (PNG or JPEG) rather than a clip, by its content.
bool isStillImage(const std::string& path);

// A device opened in one mode: output -> caps filter fixed to caps -> a decoder when the
// caps are compressed (MJPEG) -> colour conversion -> input. No reader ever asks the device
// for an open-ended format, which some sources (PipeWire) do not survive.
HResult graphConnectFixed(GstElement* graph, GstPad* output, GstPad* input, GstCaps* caps);

// Builds the capture chain on the graph it is given.
class CaptureGraphBuilder {
 public:
  CaptureGraphBuilder() = default;
  ~CaptureGraphBuilder();
  CaptureGraphBuilder(const CaptureGraphBuilder&) = delete;
  CaptureGraphBuilder& operator=(const CaptureGraphBuilder&) = delete;

  HResult setFiltergraph(GstElement* graph);
  // source's video output -> converters as needed -> intermediate -> sink; with a mode, the
  // source is held to it (graphConnectFixed).
  HResult renderStream(GstElement* source, GstElement* intermediate, GstElement* sink,
                       GstCaps* mode = nullptr);

 private:
  GRef<GstElement> graph_;
};

// Adds filter to graph under name; the graph takes its own reference.
HResult addFilter(GstElement* graph, GstElement* filter, const char* name);
HResult removeFilter(GstElement* graph, GstElement* filter);

// A sink that discards every buffer, in time with the clock so a file plays at its rate.
GstElement* makeNullRenderer();

// Errors and warnings of the graph go to stderr; every message is then dropped so that
// nothing piles up on a bus nobody reads. A watch, when given, also sees every message.
void logBusToStderr(GstBus* bus, std::shared_ptr<GraphWatch> watch = nullptr);

// Changes the graph's state on a helper thread, waiting at most timeout: a device may hold
// a state change for as long as it likes, the caller never longer than that. Returns false
// when the change is still in progress (it then finishes on the helper thread, which holds
// its own reference); *result receives the change's outcome (ASYNC while unfinished).
bool changeStateWithin(GstElement* graph, GstState state, std::chrono::milliseconds timeout,
                       GstStateChangeReturn* result = nullptr);
// Takes the graph to NULL, waiting at most timeout. Returns false when the change is still
// in progress; it then finishes on a helper thread, which holds its own reference.
bool stopGraph(GstElement* graph, std::chrono::milliseconds timeout);

}  // namespace vz
