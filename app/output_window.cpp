#include "app/output_window.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "output/output_stage.h"

namespace vz {

OutputWindow::OutputWindow(QScreen* screen, OutputStage& stage, std::function<void(char)> onLetter)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      stage_(stage),
      screen_(screen),
      onLetter_(std::move(onLetter)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setWindowTitle(QStringLiteral("Video Zarnix Output"));
  setCursor(Qt::BlankCursor);
  error_ = stage_.addBranch(kBranch, "appsink name=sink sync=false max-buffers=1 drop=true",
                            [this](GstBin* bin) {
                              GstElement* sink = gst_bin_get_by_name(bin, "sink");
                              g_object_set(sink, "emit-signals", TRUE, nullptr);
                              g_signal_connect(sink, "new-sample", G_CALLBACK(onSample), this);
                              gst_object_unref(sink);
                            });
  // A screen that goes away takes the window with it.
  connect(qApp, &QGuiApplication::screenRemoved, this, [this](QScreen* gone) {
    if (gone == screen_) close();
  });
  setGeometry(screen->geometry());
  if (QWindow* handle = windowHandle()) handle->setScreen(screen);
}

OutputWindow::~OutputWindow() {
  stage_.removeBranch(kBranch, std::chrono::seconds(1));  // no sample arrives after this
  if (GstSample* left = slot_.exchange(nullptr)) gst_sample_unref(left);
  if (shown_ != nullptr) gst_sample_unref(shown_);
}

GstFlowReturn OutputWindow::onSample(GstElement* sink, gpointer data) {
  auto* self = static_cast<OutputWindow*>(data);
  GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
  if (sample == nullptr) return GST_FLOW_OK;
  if (GstSample* old = self->slot_.exchange(sample)) gst_sample_unref(old);
  if (!self->repaintAsked_.exchange(true))
    QMetaObject::invokeMethod(self, qOverload<>(&QWidget::update), Qt::QueuedConnection);
  return GST_FLOW_OK;
}

void OutputWindow::paintEvent(QPaintEvent*) {
  repaintAsked_.store(false);
  if (GstSample* fresh = slot_.exchange(nullptr)) {
    if (shown_ != nullptr) gst_sample_unref(shown_);
    shown_ = fresh;
  }
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  if (shown_ == nullptr) return;
  GstVideoInfo info;
  GstVideoFrame frame;
  if (!gst_video_info_from_caps(&info, gst_sample_get_caps(shown_)) ||
      !gst_video_frame_map(&frame, &info, gst_sample_get_buffer(shown_), GST_MAP_READ))
    return;
  const QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                     GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                     GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_BGR888);
  const QSize fitted = image.size().scaled(size(), Qt::KeepAspectRatio);
  const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                     fitted);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(target, image);
  gst_video_frame_unmap(&frame);
  ++framesShown_;
}

void OutputWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  const int key = event->key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z && !(event->modifiers() & Qt::AltModifier) &&
      onLetter_) {
    onLetter_(static_cast<char>('A' + (key - Qt::Key_A)));
    return;
  }
  QWidget::keyPressEvent(event);
}

void OutputWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit closed();
}

QScreen* findScreen(const std::string& indexOrName) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  bool isNumber = false;
  const int index = QString::fromStdString(indexOrName).toInt(&isNumber);
  if (isNumber) return index >= 0 && index < screens.size() ? screens[index] : nullptr;
  for (QScreen* s : screens)
    if (s->name() == QString::fromStdString(indexOrName)) return s;
  return nullptr;
}

}  // namespace vz
