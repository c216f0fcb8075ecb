// The virtual camera on a private PipeWire (with WirePlumber and a session bus of its own,
// each stopped by its process id whatever the outcome): listed as a camera, readable by
// node name with frames of the engine's look, never offered back to the program.
#include <fcntl.h>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "output/camera_target.h"
#include "presets/bank_file.h"
#include "presets/preset_slot.h"
#include "source/capture_devices.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string run(const std::string& command) {
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  std::string out;
  char buf[4096];
  while (p != nullptr && fgets(buf, sizeof buf, p)) out += buf;
  if (p != nullptr) pclose(p);
  return out;
}

pid_t spawn(std::vector<std::string> args, const fs::path& log) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

void stopProcess(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; ++i) usleep(10000);
  if (waitpid(pid, nullptr, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  pid = -1;
}

// A session bus, PipeWire and WirePlumber in a runtime folder of their own.
struct PrivatePipeWire {
  fs::path runtime;
  pid_t bus = -1, daemon = -1, session = -1;
  std::string oldRuntime;

  PrivatePipeWire() {
    char templ[] = "/tmp/vz-pipewire-XXXXXX";
    runtime = mkdtemp(templ);
    if (const char* r = std::getenv("XDG_RUNTIME_DIR")) oldRuntime = r;
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const std::string address = "unix:path=" + (runtime / "bus").string();
    bus = spawn({"dbus-daemon", "--session", "--nofork", "--address=" + address},
                runtime / "dbus.log");
    for (int i = 0; i < 200 && !fs::exists(runtime / "bus"); ++i) usleep(10000);
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    daemon = spawn({"pipewire"}, runtime / "pipewire.log");
    for (int i = 0; i < 300 && !pipeWireAnswers(); ++i) usleep(10000);
    session = spawn({"wireplumber"}, runtime / "wireplumber.log");
    usleep(500000);
  }
  ~PrivatePipeWire() {
    stopProcess(session);
    stopProcess(daemon);
    stopProcess(bus);
    std::error_code ec;
    fs::remove_all(runtime, ec);
    if (oldRuntime.empty())
      unsetenv("XDG_RUNTIME_DIR");
    else
      setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
  bool ready() const { return pipeWireAnswers(); }
};

TEST(VirtualCamera, OnAPrivatePipeWireItIsAReadableCameraThatIsNeverOfferedBack) {
  PrivatePipeWire pw;
  ASSERT_TRUE(pw.ready()) << "the private PipeWire did not start";
  const fs::path dir = pw.runtime / "work";
  fs::create_directories(dir);

  // The look as the frame filter renders it from the same decoded picture.
  const fs::path clip = dir / "still.mpg", bank = dir / "look.pvl";
  run("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
      "'color=c=0x3080c0:s=320x240:r=25:d=30,drawbox=x=40:y=30:w=100:h=80:color=0xe0a020:t="
      "fill' -g 1 -c:v mpeg1video -q:v 2 " +
      clip.string());
  VideoEngine look;
  look.mode = static_cast<uint8_t>(EffectMode::Overflow);
  look.gainRed = 180;
  look.tintRed = 300;
  storeSlot(look, 0);
  ASSERT_EQ(saveBankFile(bank.string(), look), BankIo::Ok);
  run("gst-launch-1.0 -q filesrc location=" + clip.string() +
      " ! decodebin ! videoconvert ! video/x-raw,format=BGR ! filesink location=" +
      (dir / "source.bgr").string());
  run("head -c 230400 " + (dir / "source.bgr").string() + " | " + VZ_FX_PATH +
      " --size 320x240 --bank " + bank.string() + " --preset A > " +
      (dir / "reference.bgr").string());

  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  pid_t program = spawn({VZ_PROGRAM_PATH, "--bank", bank.string(), "--preset", "A",
                         "--virtual-camera", "pipewire", clip.string()},
                        dir / "program.log");
  struct Stop {
    pid_t& pid;
    ~Stop() { stopProcess(pid); }
  } stopProgram{program};

  // Listed as a camera.
  std::string listed;
  for (int i = 0; i < 20 && listed.find("videozarnix") == std::string::npos; ++i) {
    usleep(250000);
    listed = run("timeout 10 gst-device-monitor-1.0 Video/Source");
  }
  EXPECT_NE(listed.find("node.name = videozarnix"), std::string::npos) << listed;
  EXPECT_NE(listed.find("media.role = Camera"), std::string::npos) << listed;
  EXPECT_NE(listed.find("name  : Video Zarnix"), std::string::npos) << listed;

  // Read with fixed caps and a deadline; a reader with no frame in 10 s is started once more.
  const fs::path got = dir / "read.bgr";
  std::string reader;
  std::error_code ec;
  for (int attempt = 0; attempt < 2 && !(fs::exists(got) && fs::file_size(got, ec) >= 230400);
       ++attempt)
    reader +=
        run("timeout 10 gst-launch-1.0 -q pipewiresrc target-object=videozarnix num-buffers=5 ! "
            "video/x-raw,format=I420,width=320,height=240 ! videoconvert ! "
            "video/x-raw,format=BGR ! filesink location=" +
            got.string());
  std::ifstream a(dir / "reference.bgr", std::ios::binary), b(got, std::ios::binary);
  const std::string ref{std::istreambuf_iterator<char>(a), {}};
  const std::string read{std::istreambuf_iterator<char>(b), {}};
  ASSERT_EQ(ref.size(), 230400u);
  ASSERT_GE(read.size(), ref.size()) << reader << run("cat " + (dir / "program.log").string());
  // The last frame read, within the error of converting to 4:2:0 and back (flat areas).
  const size_t last = (read.size() / ref.size() - 1) * ref.size();
  long total = 0;
  for (size_t i = 0; i < ref.size(); ++i)
    total += std::abs(static_cast<int>(static_cast<uint8_t>(read[last + i])) -
                      static_cast<uint8_t>(ref[i]));
  EXPECT_LT(static_cast<double>(total) / ref.size(), 6.0);

  // Our own device list leaves it out.
  gst_init(nullptr, nullptr);
  MonitorDeviceList devices;
  for (const auto& d : devices.videoInputDevices()) {
    std::string name;
    d->readProperty("FriendlyName", name);
    EXPECT_NE(name, "Video Zarnix");
  }
}

TEST(VirtualCamera, WithoutABackEndTheProgramRefusesAtStartUp) {
  const std::string runtime = "/tmp/vz-no-pipewire";
  fs::create_directories(runtime);
  const std::string out = run("env XDG_RUNTIME_DIR=" + runtime + " QT_QPA_PLATFORM=offscreen " +
                              VZ_PROGRAM_PATH + " --virtual-camera pipewire 2>&1; echo status=$?");
  EXPECT_NE(out.find("videozarnix: no PipeWire daemon answers"), std::string::npos) << out;
  EXPECT_NE(out.find("status=2"), std::string::npos) << out;
  const std::string device =
      run(std::string(VZ_PROGRAM_PATH) + " --virtual-camera /dev/null-camera 2>&1; echo status=$?");
  EXPECT_NE(device.find("not a video device"), std::string::npos) << device;
  EXPECT_NE(device.find("status=2"), std::string::npos) << device;
  fs::remove_all(runtime);
}

}  // namespace
}  // namespace vz::test
