// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>

#include "engine/frame_mailbox.h"
#include "engine/stretch.h"

class QPainter;

namespace vz {

// Paints mailbox frames over a rectangle, nearest pixel and upright, black until the first
// frame. Where the painter draws into a 32-bit raster image at whole-pixel offsets (a
// window's backing store on the raster platforms), the frame is stretched straight into that
// image: no second image, no format conversion. Anywhere else it goes through an image of
// its own. Only the exposed part of the rectangle is written.
class FramePainter {
 public:
  // Pictures of at least `streamFromBytes` are written past the caches (see NearestStretch).
  explicit FramePainter(std::size_t streamFromBytes = NearestStretch::kStreamFromBytes)
      : stretch_(streamFromBytes) {}

  void paint(QPainter& painter, const QRect& target, const QRegion& exposed,
             const FrameMailbox::View& frame);

 private:
  bool paintIntoDevice(QPainter& painter, const QRect& target, const QRegion& exposed,
                       const FrameMailbox::View& frame);

  NearestStretch stretch_;
  QImage canvas_;  // for painters that cannot be drawn into directly
};

}  // namespace vz
