// The plugin module: libgstvideozarnix.so, one element.
#include <gst/gst.h>

#include "gst/zarnix_element.h"

namespace {

gboolean pluginInit(GstPlugin* plugin) {
  return vz::registerZarnixElement(plugin);
}

}  // namespace

#define PACKAGE "videozarnix"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, videozarnix,
                  "Video Zarnix colour effects on live video", pluginInit, "1.0", "Proprietary",
                  "Video Zarnix", "Video Zarnix")
