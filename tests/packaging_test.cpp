// SPDX-License-Identifier: GPL-3.0-or-later
// What a package manager and a desktop read from the build: --version on both programs,
// manual pages that cover every option --help lists, a desktop entry and AppStream metainfo
// that their validators accept, and the plugin's licence as GStreamer reports it.
#include <gtest/gtest.h>

#include <QtGlobal>
#include <regex>
#include <set>
#include <string>

#include "tests/child_process.h"
#include "tests/scratch_dir.h"
#include "vz_version.h"

namespace vz::test {
namespace {

// The long options a --help text lists.
std::set<std::string> optionsIn(const std::string& text) {
  std::set<std::string> names;
  static const std::regex option(R"((^|[\s,])(--[a-z][a-z0-9-]*))");
  for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it)
    names.insert((*it)[2]);
  return names;
}

struct Program {
  const char* name;
  const char* path;
};
const Program kPrograms[] = {{"videozarnix", VZ_PROGRAM_PATH}, {"videozarnix-fx", VZ_FX_PATH}};

// Anywhere among other options, without a display, and before anything else is checked
// (but Qt's parser refuses an unknown option first).
TEST(Version, BothProgramsNameTheProjectVersionAndExitZero) {
  const struct {
    Program p;
    const char* args;
    int status;
  } cases[] = {{kPrograms[0], "--version", 0},
               {kPrograms[0], "--verbose --version", 0},
               {kPrograms[0], "--version --bogus", 2},
               {kPrograms[1], "--version", 0},
               {kPrograms[1], "--version --bogus", 0}};
  for (const auto& [p, args, status] : cases) {
    const Ran r = shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                        std::string(p.path) + " " + args);
    EXPECT_EQ(r.status, status) << p.name << " " << args << "\n" << r.out;
    if (status == 0) {
      EXPECT_EQ(r.out.rfind(std::string(p.name) + " " VZ_VERSION "\n", 0), 0u) << r.out;
    }
  }
  const Ran app = shell(std::string(VZ_PROGRAM_PATH) + " --version");
  EXPECT_NE(app.out.find(std::string("Qt ") + qVersion()), std::string::npos) << app.out;
  EXPECT_TRUE(std::regex_search(app.out, std::regex(R"(\nGStreamer 1\.\d+\.\d+)"))) << app.out;
}

TEST(ManualPages, CoverEveryOptionHelpListsAndTheSectionsHelpCannotHold) {
  const std::string dir = VZ_MAN_DIR;
  if (dir.empty())
    GTEST_SKIP() << "no manual pages in this build (help2man missing or a sanitizer build)";
  for (const Program& p : kPrograms) {
    const Ran help = shell(std::string(p.path) + " --help");
    ASSERT_EQ(help.status, 0) << help.out;
    const Ran page = shell("MANWIDTH=200 man --no-hyphenation --no-justification -l " + dir + "/" +
                           p.name + ".1.gz");
    ASSERT_EQ(page.status, 0) << page.out;
    const std::set<std::string> listed = optionsIn(help.out);
    EXPECT_GT(listed.size(), 5u) << help.out;
    for (const std::string& option : listed)
      EXPECT_NE(page.out.find(option), std::string::npos) << p.name << "(1) lacks " << option;
    for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "FILES", "EXIT STATUS"})
      EXPECT_NE(page.out.find(std::string("\n") + section), std::string::npos)
          << p.name << "(1) lacks " << section << "\n"
          << page.out;
    EXPECT_NE(page.out.find(VZ_VERSION), std::string::npos);
  }
  const Ran app = shell("MANWIDTH=200 man -l " + dir + "/videozarnix.1.gz");
  for (const char* address :
       {"/videozarnix/preset", "/videozarnix/mode", "/videozarnix/gain/red",
        "/videozarnix/fullscreen", "/videozarnix/record", "midi-mappings", ".pvl", "OSC ADDRESSES"})
    EXPECT_NE(app.out.find(address), std::string::npos) << address;
  const Ran lint = shell("LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l " +
                         dir + "/videozarnix.1.gz >/dev/null");
  EXPECT_EQ(lint.out, "") << "groff warns about videozarnix(1)";
}

TEST(DesktopFiles, ValidateAndSayWhatDocksAndSoftwareCentresNeed) {
  const std::string res = std::string(VZ_SOURCE_DIR) + "/res/";
  const Ran desktop = shell("desktop-file-validate " + res + "videozarnix.desktop");
  EXPECT_EQ(desktop.status, 0) << desktop.out;
  EXPECT_EQ(desktop.out, "");
  const std::string entry = readFile(res + "videozarnix.desktop");
  for (const char* line : {"\nCategories=AudioVideo;Video;\n", "\nStartupWMClass=videozarnix\n",
                           "\nIcon=videozarnix\n", "\nExec=videozarnix %f\n"})
    EXPECT_NE(entry.find(line), std::string::npos) << line;
  for (const char* keyword : {"VJ;", "webcam;", "effects;", "live;"})
    EXPECT_NE(entry.find(keyword), std::string::npos) << keyword;

  const std::string metainfo = res + "io.github.videozarnix.VideoZarnix.metainfo.xml";
  const Ran as = shell("appstreamcli validate --no-net --no-color " + metainfo);
  EXPECT_EQ(as.status, 0) << as.out;
  EXPECT_EQ(as.out.find("E: "), std::string::npos) << as.out;
  EXPECT_EQ(as.out.find("W: "), std::string::npos) << as.out;
  const std::string xml = readFile(metainfo);
  for (const char* part :
       {"<binary>videozarnix</binary>", "<binary>videozarnix-fx</binary>",
        "<codec>element-zarnix</codec>", "<content_rating", "<release version=\"" VZ_VERSION "\"",
        "<caption>", "<launchable type=\"desktop-id\">videozarnix.desktop</launchable>"})
    EXPECT_NE(xml.find(part), std::string::npos) << part;
}

TEST(GStreamerPlugin, DeclaresTheLicenceAndVersionGStreamerAccepts) {
  const ScratchDir registry("vz-reg");
  Environment env = toolEnvironment();
  env.insert(env.end(), {{"GST_REGISTRY", registry.string() + "/r.bin"},
                         {"GST_PLUGIN_PATH", VZ_GST_PLUGIN_DIR}});
  const Ran r = shell("gst-inspect-1.0 videozarnix", env);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(License\s+GPL\n)"))) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(Version\s+)" VZ_VERSION "\n"))) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(Origin URL\s+Unknown package origin\n)")))
      << r.out;
}

}  // namespace
}  // namespace vz::test
