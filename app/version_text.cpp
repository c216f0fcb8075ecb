// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/version_text.h"

#include <gst/gst.h>

#include <QtGlobal>

#include "vz_version.h"

namespace vz {

std::string versionText() {
  guint major = 0, minor = 0, micro = 0, nano = 0;
  gst_version(&major, &minor, &micro, &nano);  // the library loaded, no gst_init needed
  const std::string gst = std::to_string(major) + "." + std::to_string(minor) + "." +
                          std::to_string(micro) + (nano != 0 ? "." + std::to_string(nano) : "");
  return std::string("videozarnix " VZ_VERSION "\n") + "Qt " + qVersion() +
         " (built with " QT_VERSION_STR ")\n" + "GStreamer " + gst + " (built with " +
         std::to_string(GST_VERSION_MAJOR) + "." + std::to_string(GST_VERSION_MINOR) + "." +
         std::to_string(GST_VERSION_MICRO) + ")\n" +
         "License GPL-3.0-or-later: GNU GPL version 3 or later "
         "<https://gnu.org/licenses/gpl.html>.\n"
         "This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.";
}

}  // namespace vz
