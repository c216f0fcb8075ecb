#pragma once

#include <string>

#include "engine/video_engine.h"

namespace vz {

enum class BankIo { Ok, CannotOpen, CannotRead, CannotWrite };

// Writes the preset store as a bank file. The file it replaces survives any failure: the
// bytes go to a temporary file beside it, flushed, then renamed over it (through a symbolic
// link to its target, keeping the target's permissions). Only where no file can be made
// beside it but the target itself is writable is it rewritten in place.
BankIo saveBankFile(const std::string& path, const VideoEngine& engine);

// Reads the first 3840 bytes of a bank file into the preset store, all or nothing: a
// shorter file or a read error leaves the store as it was.
BankIo loadBankFile(const std::string& path, VideoEngine& engine);

}  // namespace vz
