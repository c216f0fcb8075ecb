// SPDX-License-Identifier: GPL-3.0-or-later
#include "source/media_probe.h"

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include "source/media_file_check.h"

namespace vz {

std::string whyCannotPlay(const std::string& path, std::chrono::milliseconds timeout) {
  // First what the file is: a pipe or a device would hold the reader below forever.
  if (std::string problem = whyNotPlayable(path); !problem.empty()) return problem;
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);

  GError* error = nullptr;
  gchar* uri = gst_filename_to_uri(path.c_str(), &error);
  GstDiscoverer* discoverer =
      uri != nullptr
          ? gst_discoverer_new(static_cast<GstClockTime>(timeout.count()) * GST_MSECOND, &error)
          : nullptr;
  GstDiscovererInfo* info =
      discoverer != nullptr ? gst_discoverer_discover_uri(discoverer, uri, &error) : nullptr;
  const GstDiscovererResult result =
      info != nullptr ? gst_discoverer_info_get_result(info) : GST_DISCOVERER_ERROR;

  std::string why;
  switch (result) {
    case GST_DISCOVERER_OK:
    case GST_DISCOVERER_MISSING_PLUGINS: {
      // A plugin missing for another stream (sound, subtitles) does not keep the picture off.
      GList* video = gst_discoverer_info_get_video_streams(info);
      if (video == nullptr)
        why = result == GST_DISCOVERER_OK ? path + " has no video or picture in it"
                                          : path + ": no decoder installed for its format";
      gst_discoverer_stream_info_list_free(video);
      break;
    }
    case GST_DISCOVERER_TIMEOUT:
      why = path + " did not open within " + std::to_string(timeout.count()) + " ms";
      break;
    default: {
      std::string detail = error != nullptr ? error->message : "";
      if (!detail.empty() && detail.back() == '.') detail.pop_back();
      why = path + " is not a video or picture file that can be read" +
            (detail.empty() ? "" : " (" + detail + ")");
      break;
    }
  }
  if (info != nullptr) gst_discoverer_info_unref(info);
  if (discoverer != nullptr) g_object_unref(discoverer);
  g_free(uri);
  if (error != nullptr) g_error_free(error);
  return why;
}

}  // namespace vz
