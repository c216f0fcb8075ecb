#pragma once

#include <gst/gst.h>

namespace vz {

// Registers the `zarnix` element with a plugin (null: with the running program only).
gboolean registerZarnixElement(GstPlugin* plugin);

}  // namespace vz
