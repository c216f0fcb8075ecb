// SPDX-License-Identifier: GPL-3.0-or-later
// The Debian package as a user meets it: made by cpack from this build, accepted by lintian
// without errors, installed with apt-get into this machine, working from the system's
// folders (no GST_PLUGIN_PATH), and purged again, leaving the machine's package list as it
// found it whatever the outcome. Root only; not for sanitizer builds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/child_process.h"
#include "tests/scratch_dir.h"
#include "vz_version.h"

namespace vz::test {
namespace {

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Every package dpkg knows of with its version and state, one a line.
std::string packageList() {
  return shell(
             "dpkg-query -W -f='${Package}:${Architecture} ${Version} ${db:Status-Abbrev}\\n' | "
             "sort")
      .out;
}

// dpkg's two-letter state of the package ("ii": installed); empty when it never heard of it.
std::string state(const std::string& package) {
  return shell("dpkg-query -W -f='${db:Status-Abbrev}' " + package + " 2>/dev/null").out;
}
bool installed(const std::string& package) {
  return state(package).starts_with("ii");
}

// apt waits for a lock another apt holds, rather than failing at once.
const std::string kApt = "DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=600 ";

// The package names of a packageList().
std::set<std::string> names(const std::string& list) {
  std::set<std::string> out;
  std::istringstream lines(list);
  for (std::string line; std::getline(lines, line);) out.insert(line.substr(0, line.find(' ')));
  return out;
}

// Purges the package, and then whatever its installation brought in, when it goes.
class PurgeOnExit {
 public:
  explicit PurgeOnExit(std::string before) : before_(std::move(before)) {}
  ~PurgeOnExit() {
    // In whatever state an interrupted or failed installation left it.
    if (!state("videozarnix").empty() && !state("videozarnix").starts_with("un"))
      shell(kApt + "purge videozarnix");
    // Packages that came with it (its dependencies, where some were missing) go too.
    const std::set<std::string> was = names(before_);
    std::string added;
    for (const std::string& name : names(packageList()))
      if (!was.contains(name)) added.append(" ").append(name);
    if (!added.empty()) shell(kApt + "purge" + added);
  }
  PurgeOnExit(const PurgeOnExit&) = delete;
  PurgeOnExit& operator=(const PurgeOnExit&) = delete;

 private:
  std::string before_;
};

TEST(DebianPackage, BuildsPassesLintianInstallsWorksAndPurgesClean) {
  if (std::string(VZ_SANITIZE_MODE) != "")
    GTEST_SKIP() << "a sanitizer build (" VZ_SANITIZE_MODE ") is no package to install";
  if (geteuid() != 0) GTEST_SKIP() << "installs into this machine with apt-get: root only";
  if (installed("videozarnix"))
    GTEST_SKIP() << "videozarnix is installed here already; the test leaves it alone";

  const ScratchDir dir("vz-deb");
  const std::string arch = trimmed(shell("dpkg --print-architecture").out);
  const std::string deb = dir.string() + "/videozarnix_" VZ_VERSION "_" + arch + ".deb";
  const Ran pack =
      shell("cpack -G DEB --config " VZ_BUILD_DIR "/CPackConfig.cmake -B " + dir.string());
  ASSERT_EQ(pack.status, 0) << pack.out;
  ASSERT_TRUE(std::filesystem::exists(deb)) << pack.out;

  // What it holds and what it asks for.
  const std::string contents = shell("dpkg-deb -c " + deb).out;
  const std::string multiarch = trimmed(shell("dpkg-architecture -qDEB_HOST_MULTIARCH").out);
  for (const std::string& path : std::vector<std::string>{
           "./usr/bin/videozarnix", "./usr/bin/videozarnix-fx",
           "./usr/lib/" + multiarch + "/gstreamer-1.0/libgstvideozarnix.so",
           "./usr/share/applications/videozarnix.desktop",
           "./usr/share/metainfo/io.github.videozarnix.VideoZarnix.metainfo.xml",
           "./usr/share/icons/hicolor/16x16/apps/videozarnix.png",
           "./usr/share/icons/hicolor/48x48/apps/videozarnix.png",
           "./usr/share/icons/hicolor/256x256/apps/videozarnix.png",
           "./usr/share/icons/hicolor/scalable/apps/videozarnix.svg",
           "./usr/share/man/man1/videozarnix.1.gz", "./usr/share/man/man1/videozarnix-fx.1.gz",
           "./usr/share/doc/videozarnix/README.md.gz", "./usr/share/doc/videozarnix/copyright",
           "./usr/share/doc/videozarnix/changelog.gz"})
    EXPECT_NE(contents.find(" " + path + "\n"), std::string::npos) << path << "\n" << contents;
  const std::string depends = shell("dpkg-deb -f " + deb + " Depends").out;
  for (const char* dependency :
       {"libc6", "libqt6widgets6", "libgstreamer1.0-0", "gstreamer1.0-plugins-base",
        "gstreamer1.0-plugins-good", "gstreamer1.0-plugins-bad", "gstreamer1.0-plugins-ugly",
        "gstreamer1.0-libav", "gstreamer1.0-pipewire", "qt6-wayland"})
    EXPECT_NE(depends.find(dependency), std::string::npos) << dependency << "\n" << depends;

  const Ran lintian = shell("lintian --tag-display-limit 0 " + deb);
  EXPECT_FALSE(std::regex_search(lintian.out, std::regex("(^|\n)[EW]: "))) << lintian.out;

  const std::string before = packageList();
  PurgeOnExit purge(before);
  const Ran install = shell(kApt + "install " + deb);
  ASSERT_EQ(install.status, 0) << install.out;

  // From the system's folders only: no plugin path, a registry of its own.
  const std::string env =
      "env -u GST_PLUGIN_PATH -u GST_PLUGIN_SYSTEM_PATH GST_REGISTRY=" + dir.string() +
      "/registry.bin PATH=/usr/bin:/bin ";
  const Ran version = shell(env + "videozarnix --version");
  EXPECT_EQ(version.status, 0) << version.out;
  EXPECT_EQ(version.out.rfind("videozarnix " VZ_VERSION "\n", 0), 0u) << version.out;
  const Ran fx = shell(env + "videozarnix-fx --help");
  EXPECT_EQ(fx.status, 0) << fx.out;
  EXPECT_NE(fx.out.find("--size WxH"), std::string::npos) << fx.out;
  const Ran inspect = shell(env + "gst-inspect-1.0 zarnix");
  EXPECT_EQ(inspect.status, 0) << inspect.out;
  // /lib is /usr/lib on a merged-/usr system: either spelling is the system's folder.
  EXPECT_NE(inspect.out.find("/lib/" + multiarch + "/gstreamer-1.0/libgstvideozarnix.so"),
            std::string::npos)
      << inspect.out;
  const Ran man = shell("man -w videozarnix");
  EXPECT_EQ(trimmed(man.out), "/usr/share/man/man1/videozarnix.1.gz");
  const Ran desktop = shell("desktop-file-validate /usr/share/applications/videozarnix.desktop");
  EXPECT_EQ(desktop.status, 0) << desktop.out;

  const Ran remove = shell(kApt + "purge videozarnix");
  EXPECT_EQ(remove.status, 0) << remove.out;
  EXPECT_FALSE(installed("videozarnix"));
  EXPECT_FALSE(std::filesystem::exists("/usr/bin/videozarnix"));
  EXPECT_EQ(packageList(), before) << "the machine's packages changed";
}

}  // namespace
}  // namespace vz::test
