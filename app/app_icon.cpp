// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_icon.h"

#include <QPixmap>

#include "res/videozarnix.xpm"

namespace vz {

QIcon makeAppIcon() {
  return QIcon(QPixmap(videozarnix_xpm));
}

}  // namespace vz
