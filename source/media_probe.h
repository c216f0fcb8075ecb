// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>

namespace vz {

// Why the file cannot be played as a source ("" when it can): not a regular file, nothing the
// installed demuxers and decoders read, or no picture in it (audio only). Opens the file and
// reads its headers, for at most timeout.
std::string whyCannotPlay(const std::string& path,
                          std::chrono::milliseconds timeout = std::chrono::seconds(3));

}  // namespace vz
