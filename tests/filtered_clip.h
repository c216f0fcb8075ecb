// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the program's outputs must carry: a clip whose frames are all alike (each intra-coded
// from the same picture), a bank with two looks (A, and C in another mode and mirrored), and the
// frame filter's output for that picture as the program's graph decodes and converts it (320x240,
// top row first). Also the program started recording, and files decoded as its graph does.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "tests/child_process.h"
#include "tests/scratch_dir.h"

namespace vz::test {

// A file decoded by GStreamer into packed BGR frames, top row first, through raw.
inline std::string decodedBgr(const std::filesystem::path& file, const std::filesystem::path& raw) {
  shell("gst-launch-1.0 -q filesrc location='" + file.string() +
        "' ! decodebin ! videoconvert ! video/x-raw,format=BGR ! filesink location='" +
        raw.string() + "'");
  return readFile(raw);
}

struct FilteredClip {
  static constexpr size_t kFrameBytes = 320 * 240 * 3;
  std::filesystem::path dir, clip, bank;
  std::string sourceFrame, referenceFrame;  // the reference: look C

  FilteredClip(const std::filesystem::path& folder, int seconds, int fps = 25)
      : dir(folder), clip(folder / "still.mpg"), bank(folder / "look.pvl") {
    shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i 'color=c=0x3080c0:s=320x240:r=" +
          std::to_string(fps) + ":d=" + std::to_string(seconds) +
          ",drawbox=x=40:y=30:w=100:h=80:color=0xe0a020:t=fill' -g 1 -c:v mpeg1video "
          "-q:v 2 " +
          clip.string());
    VideoEngine look;
    look.mode = static_cast<uint8_t>(EffectMode::Emboss);
    look.gainRed = 180, look.gainBlue = 40, look.tintRed = 300;
    storeSlot(look, 0);
    look.mode = static_cast<uint8_t>(EffectMode::Overflow), look.mirror = 1;
    storeSlot(look, 2);
    saveBankFile(bank.string(), look);
    sourceFrame = decodedBgr(clip, dir / "source.bgr").substr(0, kFrameBytes);
    referenceFrame = filtered("--preset C", 1);
  }

  // The frame filter's output for `frames` copies of the source picture, given the bank.
  std::string filtered(const std::string& options, int frames) const {
    std::string input;
    for (int i = 0; i < frames; ++i) input += sourceFrame;
    const std::string in = writeFile(dir / "stills.bgr", input), out = (dir / "fx.bgr").string();
    shell(std::string(VZ_FX_PATH) + " --size 320x240 --bank " + bank.string() + " " + options +
          " < " + in + " > " + out);
    return readFile(out);
  }

  // The frames of a decoded file with each run of equal frames taken once (a recording
  // repeats a frame where the source came late).
  static std::vector<std::string> distinctFrames(const std::string& raw) {
    std::vector<std::string> out;
    for (size_t at = 0; at + kFrameBytes <= raw.size(); at += kFrameBytes) {
      std::string f = raw.substr(at, kFrameBytes);
      if (out.empty() || out.back() != f) out.push_back(std::move(f));
    }
    return out;
  }
};

#ifdef VZ_PROGRAM_PATH
// The program started with args, returned once its recording at out holds some bytes; its
// log is dir/program.log. With checkLeaks, a program stopped by a signal it handles fails its
// exit status on what it leaves at exit.
inline std::unique_ptr<Child> startRecordingProgram(const std::filesystem::path& dir,
                                                    std::vector<std::string> args,
                                                    const std::filesystem::path& out,
                                                    bool checkLeaks) {
  args.insert(args.begin(), VZ_PROGRAM_PATH);
  auto program = std::make_unique<Child>(args, (dir / "program.log").string(),
                                         programEnvironment(dir, checkLeaks));
  std::error_code ec;
  EXPECT_TRUE(waitFor([&] { return std::filesystem::file_size(out, ec) >= 1000 && !ec; },
                      std::chrono::seconds(30)))
      << readFile(dir / "program.log");
  return program;
}
#endif

}  // namespace vz::test
