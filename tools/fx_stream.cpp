// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/fx_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <new>
#include <ostream>
#include <vector>

#include "engine/look_fade.h"
#include "presets/preset_slot.h"

namespace vz {

namespace {

void flipRows(uint8_t* frame, std::vector<uint8_t>& row, int height) {
  const size_t rowBytes = row.size();
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = frame + top * rowBytes;
    uint8_t* b = frame + bottom * rowBytes;
    std::copy_n(a, rowBytes, row.data());
    std::copy_n(b, rowBytes, a);
    std::copy_n(row.data(), rowBytes, b);
  }
}

// A frame buffer that grows with the input, so a large frame costs nothing until its bytes
// come. It grows by realloc, which moves a large block's pages rather than copying them, so
// growing never needs more than the frame itself.
class GrowingFrame {
 public:
  ~GrowingFrame() { std::free(data_); }
  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  void grow(size_t size) {
    void* moved = std::realloc(data_, size);
    if (moved == nullptr) throw std::bad_alloc();
    data_ = static_cast<uint8_t*>(moved);
    size_ = size;
  }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace

int filterFrames(const FxRun& run, VideoEngine& engine, std::istream& in, std::ostream& out,
                 std::ostream& err) {
  const size_t rowBytes = static_cast<size_t>(run.width) * 3;
  const size_t frameBytes = rowBytes * run.height;
  GrowingFrame frame;
  std::vector<uint8_t> row;
  LookFade fade;
  if (run.fadeTo) {
    fade.startFrom(engine, run.fadeFrames);
    recallSlotFields(engine, *run.fadeTo);
  }
  try {
    row.resize(rowBytes);
    int64_t done = 0;
    while (!run.frames || done < *run.frames) {
      size_t got = 0;
      errno = 0;
      while (got < frameBytes && in) {
        if (got == frame.size())
          frame.grow(std::min(frameBytes, std::max<size_t>(2 * got, 1 << 16)));
        in.read(reinterpret_cast<char*>(frame.data() + got),
                static_cast<std::streamsize>(frame.size() - got));
        got += static_cast<size_t>(in.gcount());
      }
      if (in.bad()) {
        err << "videozarnix-fx: could not read the input after " << done << " whole frames"
            << (errno != 0 ? std::string(": ") + std::strerror(errno) : "") << '\n';
        return 1;
      }
      if (got < frameBytes) {
        if (run.frames) {
          err << "videozarnix-fx: input ended after " << done << " whole frames, " << *run.frames
              << " were asked for\n";
          return 1;
        }
        if (got > 0)
          err << "videozarnix-fx: ignored a partial frame of " << got << " bytes at the end\n";
        return 0;
      }
      flipRows(frame.data(), row, run.height);
      fade.processFrame(engine, frame.data(), run.width, run.height);
      fade.advanceAnimation(engine);
      flipRows(frame.data(), row, run.height);
      out.write(reinterpret_cast<const char*>(frame.data()),
                static_cast<std::streamsize>(frameBytes));
      if (!out) {
        err << "videozarnix-fx: could not write frame " << done << '\n';
        return 1;
      }
      ++done;
    }
  } catch (const std::bad_alloc&) {
    err << "videozarnix-fx: not enough memory for a " << run.width << "x" << run.height
        << " frame\n";
    return 1;
  }
  out.flush();
  return out ? 0 : 1;
}

}  // namespace vz
