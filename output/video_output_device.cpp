// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/video_output_device.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vz {

Status checkVideoOutput(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return Status::failure("not a video device: " + path + " (" + std::strerror(errno) + ")");
  if (!S_ISCHR(info.st_mode)) return Status::failure("not a video device: " + path);
  // Asking a device what it is neither starts nor blocks it.
  const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return Status::failure("cannot write the video device " + path + ": " + std::strerror(errno));
  v4l2_capability caps{};
  int result;
  do result = ::ioctl(fd, VIDIOC_QUERYCAP, &caps);
  while (result < 0 && errno == EINTR);
  ::close(fd);
  if (result < 0)
    return Status::failure(path + " is not a V4L2 video device (a v4l2loopback device is needed)");
  const uint32_t own =
      caps.capabilities & V4L2_CAP_DEVICE_CAPS ? caps.device_caps : caps.capabilities;
  const char* card = reinterpret_cast<const char*>(caps.card);
  if ((own & (V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_VIDEO_OUTPUT_MPLANE)) == 0)
    return Status::failure(path + " (" + std::string(card, ::strnlen(card, sizeof caps.card)) +
                           ") is not a video output device: a v4l2loopback device is needed");
  return {};
}

}  // namespace vz
