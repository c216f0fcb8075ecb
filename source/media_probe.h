// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>

#include "base/result.h"

namespace vz {

// Whether the file can be played as a source; if not, why: not a regular file, nothing the
// installed demuxers and decoders read, or no picture in it (audio only). Opens the file and
// reads its headers, for at most timeout: long enough for a slow disk or share, or a machine
// under load, to answer; a file that never does cannot hang the start.
Status probePlayable(const std::string& path,
                     std::chrono::milliseconds timeout = std::chrono::seconds(15));

}  // namespace vz
