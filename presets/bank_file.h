// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "engine/video_engine.h"

namespace vz {

// NotABank: a file of another length, or no regular file at all (a named pipe, device,
// socket or folder, which are never opened, so never waited on).
enum class BankIo { Ok, CannotOpen, CannotRead, CannotWrite, NotABank };

// Writes the preset store as a bank file, through a symbolic link to its target. A target
// this user may not write is left alone (CannotOpen), as is one that is no regular file
// (NotABank). Otherwise the bytes go to a temporary
// file beside the target, flushed, then renamed over it with the target's permissions and
// owner, so the old bank survives any failure. A target with other hard links, or whose
// owner this user cannot give the copy, is rewritten in place once the copy is written (or
// at once where no file can be made beside it).
// why, when given, receives a short reason on failure (without the path).
BankIo saveBankFile(const std::string& path, const VideoEngine& engine, std::string* why = nullptr);

// Reads a bank file into the preset store, all or nothing: a file of any length but 3840
// bytes is no bank, and it, or a read error, leaves the store as it was.
BankIo loadBankFile(const std::string& path, VideoEngine& engine, std::string* why = nullptr);

// The one-line reason a load or save failed, naming the path ("cannot open X: ...",
// "X is a named pipe, not a bank file", ...).
std::string bankProblem(BankIo result, const std::string& path, const std::string& why);

}  // namespace vz
