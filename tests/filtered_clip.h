// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the program's outputs must carry: a clip whose frames are all alike (each intra-coded
// from the same picture), a bank with a look in slot C, and that look applied by the frame
// filter to the picture as the program's graph decodes and converts it (320x240, top row
// first).
#include <filesystem>
#include <string>

#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "tests/child_process.h"
#include "tests/scratch_dir.h"

namespace vz::test {

struct FilteredClip {
  static constexpr size_t kFrameBytes = 320 * 240 * 3;
  std::filesystem::path clip, bank;
  std::string sourceFrame, referenceFrame;

  FilteredClip(const std::filesystem::path& dir, int seconds)
      : clip(dir / "still.mpg"), bank(dir / "look.pvl") {
    shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i 'color=c=0x3080c0:s=320x240:r=25:d=" +
          std::to_string(seconds) +
          ",drawbox=x=40:y=30:w=100:h=80:color=0xe0a020:t=fill' -g 1 -c:v mpeg1video "
          "-q:v 2 " +
          clip.string());
    VideoEngine look;
    look.mode = static_cast<uint8_t>(EffectMode::Overflow);
    look.gainRed = 180, look.gainBlue = 40, look.tintRed = 300, look.mirror = 1;
    storeSlot(look, 2);
    saveBankFile(bank.string(), look);
    const std::string source = (dir / "source.bgr").string();
    shell("gst-launch-1.0 -q filesrc location=" + clip.string() +
          " ! decodebin ! videoconvert ! video/x-raw,format=BGR ! filesink location=" + source);
    sourceFrame = readFile(source).substr(0, kFrameBytes);
    const std::string reference = (dir / "reference.bgr").string();
    shell("head -c 230400 " + source + " | " + VZ_FX_PATH + " --size 320x240 --bank " +
          bank.string() + " --preset C > " + reference);
    referenceFrame = readFile(reference);
  }
};

}  // namespace vz::test
