// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/record_format.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace vz {
namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

struct CodecName {
  const char* name;
  VideoCodec codec;
};
constexpr CodecName kCodecs[] = {{"h264", VideoCodec::H264},
                                 {"vp8", VideoCodec::Vp8},
                                 {"vp9", VideoCodec::Vp9},
                                 {"ffv1", VideoCodec::Ffv1}};

bool holds(Container container, VideoCodec codec) {
  switch (container) {
    case Container::Matroska:
      return true;
    case Container::Mp4:
      return codec == VideoCodec::H264;
    case Container::WebM:
      return codec == VideoCodec::Vp8 || codec == VideoCodec::Vp9;
  }
  return false;
}

}  // namespace

bool isKnownCodecName(const std::string& name) {
  const std::string l = lower(name);
  return std::any_of(std::begin(kCodecs), std::end(kCodecs),
                     [&](const CodecName& c) { return l == c.name; });
}

const char* codecName(VideoCodec codec) {
  for (const CodecName& c : kCodecs)
    if (c.codec == codec) return c.name;
  return "?";
}

Result<RecordFormat> resolveRecordFormat(const std::string& path, const std::string& codec) {
  if (path.empty()) return Status::failure("no file name given for the recording");
  std::filesystem::path p(path);
  const std::string ext = lower(p.extension().string());
  RecordFormat f;
  f.path = path;
  if (ext.empty()) {
    f.path += ".mkv";
    f.container = Container::Matroska;
  } else if (ext == ".mkv") {
    f.container = Container::Matroska;
  } else if (ext == ".mp4") {
    f.container = Container::Mp4;
  } else if (ext == ".webm") {
    f.container = Container::WebM;
  } else {
    return Status::failure("cannot record into " + ext + " files: use .mkv, .mp4 or .webm");
  }
  if (codec.empty()) {
    f.codec = f.container == Container::WebM ? VideoCodec::Vp8 : VideoCodec::H264;
  } else {
    const std::string l = lower(codec);
    const auto* found = std::find_if(std::begin(kCodecs), std::end(kCodecs),
                                     [&](const CodecName& c) { return l == c.name; });
    if (found == std::end(kCodecs))
      return Status::failure("unknown recording codec '" + codec + "': use h264, vp8, vp9 or ffv1");
    f.codec = found->codec;
  }
  if (!holds(f.container, f.codec))
    return Status::failure(std::string("a ") + (ext.empty() ? ".mkv" : ext) + " file cannot hold " +
                           codecName(f.codec) + " video");
  return f;
}

std::string defaultRecordingPath(long long epochSeconds) {
  std::string folder;
  if (const char* videos = std::getenv("XDG_VIDEOS_DIR"); videos != nullptr && *videos != '\0')
    folder = videos;
  else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    folder = std::string(home) + "/Videos";
  else
    folder = "Videos";
  const std::time_t t = static_cast<std::time_t>(epochSeconds);
  std::tm local{};
  localtime_r(&t, &local);
  char name[64];
  std::strftime(name, sizeof name, "videozarnix-%Y%m%d-%H%M%S.mkv", &local);
  return folder + "/" + name;
}

Result<std::string> createRecordingFile(const std::string& path, bool numbered) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = hasExtension ? path.substr(0, dot) : path;
  const std::string extension = hasExtension ? path.substr(dot) : std::string();
  for (int n = 1; n <= 9999; ++n) {
    const std::string candidate = n == 1 ? path : stem + "-" + std::to_string(n) + extension;
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ::close(fd);
      return candidate;
    }
    if (errno != EEXIST || !numbered)
      return Status::failure(errno == EEXIST ? "will not overwrite an existing file"
                                             : std::strerror(errno));
  }
  return Status::failure("no free name left beside it");
}

}  // namespace vz
