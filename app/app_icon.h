// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace vz {

// The program's icon (32 x 32, 16 colours), from res/videozarnix.xpm.
QIcon makeAppIcon();

}  // namespace vz
