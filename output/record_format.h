// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "base/result.h"

namespace vz {

enum class Container { Matroska, Mp4, WebM };
enum class VideoCodec { H264, Vp8, Vp9, Ffv1 };

// What a recording writes: the container from the file's extension, the codec asked for or
// the container's usual one. Plain data; the recorder builds its branch from it.
struct RecordFormat {
  std::string path;  // with ".mkv" added when the name had no extension
  Container container = Container::Matroska;
  VideoCodec codec = VideoCodec::H264;
};

// codecName: empty for the container's default, else h264, vp8, vp9 or ffv1 (any case).
// Refuses unknown extensions and codecs the container cannot hold.
Result<RecordFormat> resolveRecordFormat(const std::string& path, const std::string& codecName);

bool isKnownCodecName(const std::string& codecName);
const char* codecName(VideoCodec codec);

// $XDG_VIDEOS_DIR, else ~/Videos, with videozarnix-YYYYmmdd-HHMMSS.mkv for the given local
// time (seconds since the epoch).
std::string defaultRecordingPath(long long epochSeconds);

// Creates the (empty) file of a new take exclusively, so that no take is ever overwritten: an
// existing path fails, unless numbered, when the next free name after it is created instead
// (NAME-2.mkv, NAME-3.mkv, ...). The path created, or why none was.
Result<std::string> createRecordingFile(const std::string& path, bool numbered);

}  // namespace vz
