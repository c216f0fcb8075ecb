// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace vz {

// A rectangle in client pixels, from (left, top) up to but excluding (right, bottom).
struct ClientRect {
  int left, top, right, bottom;
  bool operator==(const ClientRect&) const = default;
};

// SetWindowPos flag sets the dialog code uses: show or hide a control where it stands,
// without moving, sizing, re-stacking or activating it.
inline constexpr unsigned kShowInPlace = 87;
inline constexpr unsigned kHideInPlace = 151;

enum class Stacking { Bottom, Top };

// The operations the dialog's own code (source commands, control bindings, palette editor,
// presets) needs from the dialog toolkit, addressed by control id. The toolkit layer
// implements it on Qt; tests can fake it. Every call is made on the GUI thread.
class DialogOps {
 public:
  virtual ~DialogOps() = default;

  virtual bool hasControl(int id) const = 0;
  // flags: kShowInPlace or kHideInPlace.
  virtual void setWindowPos(int id, unsigned flags) = 0;
  // Moves, sizes and shows a control, at the bottom or top of its siblings.
  virtual void placeControl(int id, int x, int y, int width, int height, Stacking stacking) = 0;
  virtual bool isControlVisible(int id) const = 0;

  virtual void setSliderRange(int id, int min, int max) = 0;  // with redraw
  virtual int sliderPos(int id) const = 0;
  // Redraws; never produces a scroll notification. A value outside the range shows at the
  // nearest end.
  virtual void setSliderPos(int id, int pos) = 0;
  virtual void setSliderTickFrequency(int id, int frequency) = 0;
  virtual void setSliderLineSize(int id, int size) = 0;
  virtual void setSliderPageSize(int id, int size) = 0;

  virtual void checkDlgButton(int id, bool checked) = 0;
  virtual bool isDlgButtonChecked(int id) const = 0;
  // Checks `id` and clears the rest of first..last; an id outside the range clears them all.
  virtual void checkRadioButton(int first, int last, int id) = 0;

  virtual void setFocusTo(int id) = 0;
  virtual void setWindowText(const std::string& title) = 0;
  // Marks a client rectangle for repainting with its background erased.
  virtual void invalidateArea(const ClientRect& area) = 0;

  // The dialog window itself: bare (no frame, caption or border) or framed style, then
  // placed in screen pixels on top of the others.
  virtual void setWindowFramed(bool framed) = 0;
  virtual void placeWindow(int x, int y, int width, int height) = 0;
  virtual int screenWidth() const = 0;
  virtual int screenHeight() const = 0;
  virtual int iconWidth() const = 0;
  virtual int iconHeight() const = 0;
};

}  // namespace vz
