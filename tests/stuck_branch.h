// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An output branch whose sink holds the first frame it gets until released: a consumer that
// blocks. It leaves the stage, released, when it goes.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "output/output_stage.h"

namespace vz::test {

class StuckBranch {
 public:
  explicit StuckBranch(OutputStage& stage, std::string id = "stuck")
      : stage_(stage), id_(std::move(id)) {
    const auto hold = +[](GstElement*, GstBuffer*, GstPad*, gpointer flag) {
      while (!static_cast<std::atomic<bool>*>(flag)->load()) g_usleep(5000);
    };
    EXPECT_EQ(stage
                  .addBranch(id_, "fakesink name=sink sync=false signal-handoffs=true",
                             [&](GstBin* bin) {
                               GstElement* sink = gst_bin_get_by_name(bin, "sink");
                               g_signal_connect(sink, "handoff", G_CALLBACK(hold), &released_);
                               gst_object_unref(sink);
                             })
                  .message(),
              "");
  }
  ~StuckBranch() {
    release();
    if (stage_.hasBranch(id_)) stage_.removeBranch(id_);
  }
  void release() { released_.store(true); }
  bool released() const { return released_.load(); }

 private:
  OutputStage& stage_;
  std::string id_;
  std::atomic<bool> released_{false};
};

}  // namespace vz::test
