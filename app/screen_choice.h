// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

#include "base/result.h"

class QScreen;

namespace vz {

// "1: HDMI-1 1920x1080": index, name and size, so that two screens of one name (every
// X screen of some servers is called "screen") can be told apart. Null or gone: "".
QString describeScreen(const QScreen* screen);
// Every screen so described, one after the other: "0: ..., 1: ...".
QString describeScreens();

// A screen by its 0-based index or by its name, or why there is none (naming the screens
// there are); a name two screens share is refused (the message says to give the index).
Result<QScreen*> findScreen(const std::string& indexOrName);

}  // namespace vz
