// SPDX-License-Identifier: GPL-3.0-or-later
// The preview and the output window as the window system gets them: each frame lands in the
// window's backing store as the first stretch drew it, at the preview's place (a partial
// repaint writes only its part; painters that cannot be drawn into directly get the same
// picture) or fitted and centred between black bars in the output window, also where a
// picture of another shape stood before (a frame of the same shape repaints only the picture).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "app/output_window.h"
#include "app/preview_widget.h"
#include "tests/reference_stretch.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

QImage backingStore(QWidget& window) {
  return window.screen()
      ->grabWindow(window.winId())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

// Compares `got` at `at` with the reference stretch of `frame` to `size`, over `part` of it.
void expectStretched(const QImage& got, QPoint at, const Frame& frame, int w, int h, QSize size,
                     QRect part) {
  Frame expected(static_cast<size_t>(size.width()) * size.height() * 3);
  referenceStretch(frame.data(), w, h, expected.data(), size.width(), size.height(),
                   size.width() * 3);
  for (int y = part.top(); y <= part.bottom(); ++y)
    for (int x = part.left(); x <= part.right(); ++x) {
      const uint8_t* e = expected.data() + (static_cast<size_t>(y) * size.width() + x) * 3;
      ASSERT_EQ(got.pixel(at.x() + x, at.y() + y), qRgb(e[2], e[1], e[0])) << x << "," << y;
    }
}

TEST(PreviewPaint, FramesLandInTheBackingStoreAsTheFirstStretchDrewThem) {
  QWidget window;
  window.resize(320, 200);
  window.setStyleSheet("background: rgb(1, 2, 3)");
  auto* preview = new PreviewWidget(&window);
  const QRect place(13, 7, 151, 97);
  preview->setGeometry(place);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  const Frame a = randomFrame(64, 48, 1), b = randomFrame(40, 30, 2);
  preview->frameTarget().receiveFrame(a.data(), 64, 48);
  preview->repaint();
  QImage shown = backingStore(window);
  expectStretched(shown, place.topLeft(), a, 64, 48, place.size(), preview->rect());
  EXPECT_EQ(shown.pixel(place.left() - 1, place.top()), qRgb(1, 2, 3));  // nothing beside it
  EXPECT_EQ(shown.pixel(place.right() + 1, place.bottom()), qRgb(1, 2, 3));

  preview->frameTarget().receiveFrame(b.data(), 40, 30);
  const QRect part(10, 20, 41, 33);
  preview->repaint(part);
  shown = backingStore(window);
  expectStretched(shown, place.topLeft(), b, 40, 30, place.size(), part);
  expectStretched(shown, place.topLeft(), a, 64, 48, place.size(), QRect(0, 0, 151, 20));

  // A 24-bit image cannot be drawn into as words: the picture comes out the same.
  QImage packed(place.size(), QImage::Format_RGB888);
  preview->render(&packed);
  expectStretched(packed, {}, b, 40, 30, place.size(), preview->rect());
}

// An output window that opens between a frame's announcement and the preview's paint must
// not leave that frame untaken: the mailbox announces no other until it is, and the video
// would stop in both windows.
TEST(PreviewPaint, AFollowerThatComesBeforeThePaintStillGetsTheNextFrames) {
  PreviewWidget preview(nullptr);
  preview.resize(64, 48);
  preview.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
  const Frame a = randomFrame(8, 6, 1);
  preview.frameTarget().receiveFrame(a.data(), 8, 6);
  QCoreApplication::sendPostedEvents(&preview, QEvent::MetaCall);  // announced, not painted
  int followed = 0;
  QObject::connect(&preview, &PreviewWidget::frameArrived, [&] { ++followed; });
  preview.repaint();
  for (int i = 0; i < 3; ++i) {
    preview.frameTarget().receiveFrame(a.data(), 8, 6);
    QCoreApplication::sendPostedEvents(&preview, QEvent::MetaCall);
  }
  EXPECT_EQ(followed, 3);
}

TEST(OutputWindowPaint, PicturesOfAnyShapeSitBetweenBlackBars) {
  PreviewWidget preview(nullptr);
  OutputWindow window(QGuiApplication::primaryScreen(), preview, {});
  window.showOnScreen();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QSize size = window.size();
  const QSize frames[] = {{40, 30}, {64, 20}, {64, 20}, {40, 30}, {17, 61}, {40, 30}};
  uint32_t seed = 1;
  for (const QSize f : frames) {
    SCOPED_TRACE(testing::Message() << f.width() << "x" << f.height());
    const Frame frame = randomFrame(f.width(), f.height(), ++seed);
    preview.frameTarget().receiveFrame(frame.data(), f.width(), f.height());
    QCoreApplication::processEvents();  // the frame's announcement: the window paints it
    const QImage shown = backingStore(window);
    ASSERT_EQ(shown.size(), size);
    const QSize fitted = f.scaled(size, Qt::KeepAspectRatio);
    const QRect picture(
        QPoint((size.width() - fitted.width()) / 2, (size.height() - fitted.height()) / 2), fitted);
    expectStretched(shown, picture.topLeft(), frame, f.width(), f.height(), fitted,
                    QRect({}, fitted));
    for (int y = 0; y < size.height(); ++y)
      for (int x = 0; x < size.width(); ++x)
        if (!picture.contains(x, y)) {
          ASSERT_EQ(shown.pixel(x, y), qRgb(0, 0, 0)) << x << "," << y;
        }
  }
}

}  // namespace
}  // namespace vz::test
