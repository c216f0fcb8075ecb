// SPDX-License-Identifier: GPL-3.0-or-later
// The program fading live: a still clip recorded losslessly while a recall arrives by OSC
// with --fade 0.5; from the recall on, the recording holds the filter's fade frame for frame.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "tests/child_process.h"
#include "tests/osc_packet.h"
#include "tests/scratch_dir.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
constexpr size_t kFrameBytes = 320 * 240 * 3;

// A port nobody on the loopback address holds right now.
int freeUdpPort() {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
  close(s);
  return ntohs(a.sin_port);
}

void sendOsc(int port, const std::vector<uint8_t>& packet) {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sendto(s, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  close(s);
}

// Frames of a raw BGR file with each run of equal frames taken once (the recording repeats a
// frame where the source came late).
std::vector<std::string> distinctFrames(const std::string& raw) {
  std::vector<std::string> out;
  for (size_t at = 0; at + kFrameBytes <= raw.size(); at += kFrameBytes) {
    std::string f = raw.substr(at, kFrameBytes);
    if (out.empty() || out.back() != f) out.push_back(std::move(f));
  }
  return out;
}

TEST(ProgramFade, ARecallByOscRecordsTheFiltersFadeFrameForFrame) {
  const ScratchDir dir("vz-fade-program");
  const fs::path clip = dir / "still.mpg", bank = dir / "looks.pvl", out = dir / "take.mkv";
  shell(
      "ffmpeg -nostdin -loglevel error -y -f lavfi -i 'color=c=0x3080c0:s=320x240:r=25:d=20,"
      "drawbox=x=40:y=30:w=100:h=80:color=0xe0a020:t=fill' -g 1 -c:v mpeg1video -q:v 2 " +
      clip.string());
  {
    VideoEngine looks;
    looks.mode = static_cast<uint8_t>(EffectMode::Overflow);  // A
    looks.gainRed = 180, looks.gainBlue = 40, looks.tintRed = 300;
    storeSlot(looks, 0);
    looks.mode = static_cast<uint8_t>(EffectMode::Emboss), looks.mirror = 1;  // C
    storeSlot(looks, 2);
    saveBankFile(bank.string(), looks);
  }
  const std::string source = (dir / "source.bgr").string();
  shell("gst-launch-1.0 -q filesrc location=" + clip.string() +
        " ! decodebin ! videoconvert ! video/x-raw,format=BGR ! filesink location=" + source);
  const std::string still = readFile(source).substr(0, kFrameBytes);
  ASSERT_EQ(still.size(), kFrameBytes);

  const int port = freeUdpPort();
  const fs::path log = dir / "program.log";
  Child program({VZ_PROGRAM_PATH, "--midi", "none", "--osc-port", std::to_string(port),
                 "--osc-bind", "127.0.0.1", "--bank", bank.string(), "--preset", "A", "--fade",
                 "0.5", "--record", out.string(), "--record-codec", "ffv1", clip.string()},
                log.string(), programEnvironment(dir.path, true));
  std::error_code ec;
  for (int i = 0; i < 3000 && !(fs::file_size(out, ec) >= 1000 && !ec); ++i) usleep(10000);
  ASSERT_GE(fs::file_size(out, ec), 1000u) << readFile(log);
  usleep(1000000);
  sendOsc(port, oscPacket("/videozarnix/preset", "s", "C"));
  usleep(2500000);
  const int status = program.stop(SIGTERM, std::chrono::seconds(60));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << readFile(log);

  const fs::path decoded = dir / "decoded.bgr";
  shell("gst-launch-1.0 -q filesrc location=" + out.string() +
        " ! matroskademux ! avdec_ffv1 ! videoconvert ! video/x-raw,format=BGR ! filesink "
        "location=" +
        decoded.string());
  const std::vector<std::string> got = distinctFrames(readFile(decoded));

  // 0.5 s at 25 frames a second: 13 frames (12.5 rounded); the filter's fade over the still
  // picture, then C alone.
  const fs::path stills = dir / "stills.bgr", fade = dir / "fade.bgr";
  std::string input;
  for (int i = 0; i < 16; ++i) input += still;
  writeFile(stills, input);
  shell(std::string(VZ_FX_PATH) + " --size 320x240 --bank " + bank.string() +
        " --preset A --fade-to C --fade-frames 13 < " + stills.string() + " > " + fade.string());
  const std::string fx = readFile(fade);
  ASSERT_EQ(fx.size(), 16 * kFrameBytes);
  // Collapsed alike: the fade's last frame is already C alone.
  const std::vector<std::string> want = distinctFrames(fx);
  ASSERT_GE(want.size(), 10u);
  // The frames before the recall are A alone: the fade's frame 0 is not among them.
  size_t at = 0;
  while (at < got.size() && got[at] != want[0]) ++at;
  ASSERT_LT(at, got.size()) << "no frame of the fade's start in " << got.size() << " frames";
  ASSERT_GE(at, 1u) << "the recording begins inside the fade";
  ASSERT_EQ(got.size(), at + want.size()) << "the fade's frames, then C alone till the end";
  for (size_t j = 0; j < want.size(); ++j) EXPECT_TRUE(got[at + j] == want[j]) << "frame " << j;
}

}  // namespace
}  // namespace vz::test
