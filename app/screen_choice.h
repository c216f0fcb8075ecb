// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

class QScreen;

namespace vz {

// "1: HDMI-1 1920x1080": index, name and size, so that two screens of one name (every
// X screen of some servers is called "screen") can be told apart. Null or gone: "".
QString describeScreen(const QScreen* screen);
// Every screen so described, one after the other: "0: ..., 1: ...".
QString describeScreens();

struct ScreenChoice {
  QScreen* screen = nullptr;
  std::string error;  // why none was found, naming the screens there are
};
// A screen by its 0-based index or by its name; a name two screens share is refused (the
// error says to give the index).
ScreenChoice findScreen(const std::string& indexOrName);

}  // namespace vz
