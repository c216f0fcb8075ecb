// SPDX-License-Identifier: GPL-3.0-or-later
// What the output window leaves in its backing store as frames come: each picture as the
// first stretch drew it, fitted and centred, and black bars around it, also where a picture
// of another shape stood before (a frame of the same shape repaints only the picture).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

#include "app/output_window.h"
#include "app/preview_widget.h"
#include "tests/reference_stretch.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

TEST(OutputWindowPaint, PicturesOfAnyShapeSitBetweenBlackBars) {
  PreviewWidget preview(nullptr);
  OutputWindow window(QGuiApplication::primaryScreen(), preview, {});
  window.showOnScreen();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QSize size = window.size();

  const struct {
    int w, h;
  } frames[] = {{40, 30}, {64, 20}, {64, 20}, {40, 30}, {17, 61}, {40, 30}};
  uint32_t seed = 1;
  for (const auto& f : frames) {
    SCOPED_TRACE(testing::Message()
                 << f.w << "x" << f.h << " in " << size.width() << "x" << size.height());
    const Frame frame = randomFrame(f.w, f.h, ++seed);
    preview.frameTarget().receiveFrame(frame.data(), f.w, f.h);
    QCoreApplication::processEvents();  // the frame's announcement: the window paints it
    const QImage shown =
        window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), size);

    const QSize fitted = QSize(f.w, f.h).scaled(size, Qt::KeepAspectRatio);
    const QRect picture(
        QPoint((size.width() - fitted.width()) / 2, (size.height() - fitted.height()) / 2), fitted);
    Frame expected(static_cast<size_t>(fitted.width()) * fitted.height() * 3);
    referenceStretch(frame.data(), f.w, f.h, expected.data(), fitted.width(), fitted.height(),
                     fitted.width() * 3);
    for (int y = 0; y < size.height(); ++y)
      for (int x = 0; x < size.width(); ++x) {
        QRgb want = qRgb(0, 0, 0);
        if (picture.contains(x, y)) {
          const uint8_t* e =
              expected.data() +
              (static_cast<size_t>(y - picture.top()) * fitted.width() + x - picture.left()) * 3;
          want = qRgb(e[2], e[1], e[0]);
        }
        ASSERT_EQ(shown.pixel(x, y), want) << x << "," << y;
      }
  }
}

}  // namespace
}  // namespace vz::test
