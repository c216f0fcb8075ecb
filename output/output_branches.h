// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "output/output_stage.h"
#include "output/pipewire_camera.h"
#include "output/record_format.h"

namespace vz {

// The branches the program adds to the output stage, as launch descriptions and what
// starts them.

inline constexpr const char* kRecordBranch = "record";
inline constexpr const char* kCameraBranch = "camera";

std::string recordingDescription(const RecordFormat& format);
Status startRecording(OutputStage& stage, const RecordFormat& format);
// "videozarnix: recorded FILE: 1:02.5, 1875 frames written, 2 repeated, 3 dropped", and
// when the encoder fell behind, by how much, at which size.
std::string recordingSummary(const std::string& path, const BranchReport& report);

// target: "pipewire" or a v4l2loopback device path.
std::string cameraDescription(const std::string& target);
// For PipeWire, camera is set to the node the branch feeds (onState goes to it); keep it
// until the branch is removed. A device path leaves camera empty.
Status startVirtualCamera(OutputStage& stage, const std::string& target,
                          std::unique_ptr<PipeWireCamera>& camera,
                          PipeWireCamera::StateHandler onState = {});

}  // namespace vz
