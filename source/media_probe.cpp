// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/media_probe.h"

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include "gstref/gst_ref.h"
#include "source/media_file_check.h"

namespace vz {

Status probePlayable(const std::string& path, std::chrono::milliseconds timeout) {
  // First what the file is: a pipe or a device would hold the reader below forever.
  if (Status file = checkPlayableFile(path); !file) return file;
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);

  GRef<GError> error;
  const GRef<gchar> uri(gst_filename_to_uri(path.c_str(), error.out()));
  const GRef<GstDiscoverer> discoverer(
      uri ? gst_discoverer_new(static_cast<GstClockTime>(timeout.count()) * GST_MSECOND,
                               error.out())
          : nullptr);
  const GRef<GstDiscovererInfo> info(
      discoverer ? gst_discoverer_discover_uri(discoverer, uri, error.out()) : nullptr);
  const GstDiscovererResult result =
      info ? gst_discoverer_info_get_result(info) : GST_DISCOVERER_ERROR;

  std::string why;
  switch (result) {
    case GST_DISCOVERER_OK:
    case GST_DISCOVERER_MISSING_PLUGINS: {
      // A plugin missing for another stream (sound, subtitles) does not keep the picture off.
      if (takeList<GstDiscovererStreamInfo>(gst_discoverer_info_get_video_streams(info)).empty())
        why = result == GST_DISCOVERER_OK ? path + " has no video or picture in it"
                                          : path + ": no decoder installed for its format";
      break;
    }
    case GST_DISCOVERER_TIMEOUT:
      why = path + " did not open within " + std::to_string(timeout.count()) + " ms";
      break;
    default: {
      std::string detail = error ? error->message : "";
      if (!detail.empty() && detail.back() == '.') detail.pop_back();
      why = path + " is not a video or picture file that can be read" +
            (detail.empty() ? "" : " (" + detail + ")");
      break;
    }
  }
  return why.empty() ? Status() : Status::failure(why);
}

}  // namespace vz
