// SPDX-License-Identifier: GPL-3.0-or-later
// The plugin module: libgstvideozarnix.so, one element.
#include <gst/gst.h>

#include "gst/zarnix_element.h"
#include "vz_version.h"

namespace {

gboolean pluginInit(GstPlugin* plugin) {
  return vz::registerZarnixElement(plugin);
}

}  // namespace

#define PACKAGE "videozarnix"
// "GPL" is how GStreamer spells any GPL version; the project has no home page to give as
// the origin, so GStreamer's own words for that stand there.
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, videozarnix,
                  "Video Zarnix colour effects on live video", pluginInit, VZ_VERSION, "GPL",
                  "Video Zarnix", "Unknown package origin")
