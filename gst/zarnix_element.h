// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

namespace vz {

// Registers the `zarnix` element with a plugin (null: with the running program only).
gboolean registerZarnixElement(GstPlugin* plugin);

}  // namespace vz
