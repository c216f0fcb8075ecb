// SPDX-License-Identifier: GPL-3.0-or-later
// The preview as the window system gets it: the frame lands in the window's backing store at
// the preview's place, as the first stretch drew it, and a partial repaint writes only its
// part. Painters that cannot be drawn into directly get the same picture.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "app/preview_widget.h"
#include "tests/reference_stretch.h"
#include "tests/test_frames.h"

namespace vz::test {
namespace {

// Compares `got` at `at` with the reference stretch of `frame`, over `part` of the preview.
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
  auto grab = [&] {
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  };

  const Frame a = randomFrame(64, 48, 1), b = randomFrame(40, 30, 2);
  preview->frameTarget().receiveFrame(a.data(), 64, 48);
  preview->repaint();
  QImage shown = grab();
  expectStretched(shown, place.topLeft(), a, 64, 48, place.size(), preview->rect());
  EXPECT_EQ(shown.pixel(place.left() - 1, place.top()), qRgb(1, 2, 3));  // nothing beside it
  EXPECT_EQ(shown.pixel(place.right() + 1, place.bottom()), qRgb(1, 2, 3));

  preview->frameTarget().receiveFrame(b.data(), 40, 30);
  const QRect part(10, 20, 41, 33);
  preview->repaint(part);
  shown = grab();
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

}  // namespace
}  // namespace vz::test
