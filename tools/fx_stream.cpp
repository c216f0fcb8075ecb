#include "tools/fx_stream.h"

#include <algorithm>
#include <istream>
#include <ostream>
#include <vector>

namespace vz {

namespace {

void flipRows(std::vector<uint8_t>& frame, std::vector<uint8_t>& row, int height) {
  const size_t rowBytes = row.size();
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = frame.data() + top * rowBytes;
    uint8_t* b = frame.data() + bottom * rowBytes;
    std::copy_n(a, rowBytes, row.data());
    std::copy_n(b, rowBytes, a);
    std::copy_n(row.data(), rowBytes, b);
  }
}

}  // namespace

int filterFrames(const FxRun& run, VideoEngine& engine, std::istream& in, std::ostream& out,
                 std::ostream& err) {
  const size_t rowBytes = static_cast<size_t>(run.width) * 3;
  const size_t frameBytes = rowBytes * run.height;
  std::vector<uint8_t> frame(frameBytes), row(rowBytes);
  int64_t done = 0;
  while (!run.frames || done < *run.frames) {
    in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frameBytes));
    const auto got = static_cast<size_t>(in.gcount());
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
    flipRows(frame, row, run.height);
    engine.processFrame(frame.data(), run.width, run.height);
    engine.advanceAnimation();
    flipRows(frame, row, run.height);
    out.write(reinterpret_cast<const char*>(frame.data()),
              static_cast<std::streamsize>(frameBytes));
    if (!out) {
      err << "videozarnix-fx: could not write frame " << done << '\n';
      return 1;
    }
    ++done;
  }
  out.flush();
  return out ? 0 : 1;
}

}  // namespace vz
