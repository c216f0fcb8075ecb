#pragma once

#include <string>

#include "engine/video_engine.h"

namespace vz {

enum class BankIo { Ok, CannotOpen, CannotRead, CannotWrite };

// Writes the preset store as a bank file, through a symbolic link to its target. A target
// this user may not write is left alone (CannotOpen). Otherwise the bytes go to a temporary
// file beside the target, flushed, then renamed over it with the target's permissions and
// owner, so the old bank survives any failure. A target with other hard links, or whose
// owner this user cannot give the copy, is rewritten in place once the copy is written (or
// at once where no file can be made beside it).
BankIo saveBankFile(const std::string& path, const VideoEngine& engine);

// Reads the first 3840 bytes of a bank file into the preset store, all or nothing: a
// shorter file or a read error leaves the store as it was.
BankIo loadBankFile(const std::string& path, VideoEngine& engine);

}  // namespace vz
