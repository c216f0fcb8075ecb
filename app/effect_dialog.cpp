// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/effect_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <cstdio>

#include "app/app_icon.h"
#include "app/file_drop.h"
#include "app/preview_widget.h"
#include "app/quit_signals.h"
#include "app/track_bar.h"
#include "engine/setting_names.h"
#include "engine/shared_value.h"
#include "palette/palette_editor.h"
#include "panel/control_bindings.h"
#include "panel/preset_commands.h"
#include "panel/screen_input.h"
#include "res/control_ids.h"

namespace vz {

DialogOps* mainDialogWindow = nullptr;

namespace {

// Commands bound to clicks: a single control, or a range whose handler takes the id.
struct Binding {
  int first, last;
  void (EffectDialog::*plain)();
  void (EffectDialog::*ranged)(int);
};

const Binding kBindings[] = {
    {kIdVideoRadio, kIdVideoRadio, &EffectDialog::OnVideoRadio, nullptr},
    {kIdMpegRadio, kIdMpegRadio, &EffectDialog::OnMpegRadio, nullptr},
    {kIdSelectMpeg, kIdSelectMpeg, &EffectDialog::OnSelectMpeg, nullptr},
    {kIdRun, kIdRun, &EffectDialog::OnRun, nullptr},
    {kIdStop, kIdStop, &EffectDialog::OnStop, nullptr},
    {kIdVideo, kIdVideo, &EffectDialog::OnVideo, nullptr},
    {kIdMpg, kIdMpg, &EffectDialog::OnMpg, nullptr},
    {kIdAvi, kIdAvi, &EffectDialog::OnAviToggle, nullptr},
    {kIdRefresh, kIdRefresh, &EffectDialog::OnRefresh, nullptr},
    {kIdFullScreen, kIdFullScreen, &EffectDialog::OnFullScreen, nullptr},
    {kIdInvertRed, kIdInvertRed, nullptr, &EffectDialog::OnInvert},
    {kIdInvertGreen, kIdInvertBlue, nullptr, &EffectDialog::OnInvert},
    {kIdMirror, kIdMirror, nullptr, &EffectDialog::OnInvert},
    {kIdModeFirst, kIdModeLast, nullptr, &EffectDialog::OnModeRadio},
    {kIdPaletteFirst, kIdPaletteLast, nullptr, &EffectDialog::OnPaletteButton},
    {kIdRandom, kIdRandom, &EffectDialog::OnRandom, nullptr},
    {kIdRamp, kIdRamp, &EffectDialog::OnRamp, nullptr},
    {kIdLimit, kIdLimit, &EffectDialog::OnLimit, nullptr},
    {kIdRange, kIdRange, &EffectDialog::OnRange, nullptr},
    {kIdColorCycle, kIdColorCycle, &EffectDialog::OnColorCycle, nullptr},
    {kIdLetterA, kIdLetterZ, nullptr, &EffectDialog::OnPresetButton},
    {kIdSaveToggle, kIdSaveToggle, &EffectDialog::OnSaveToggle, nullptr},
    {kIdSavePresets, kIdSavePresets, &EffectDialog::OnSavePresets, nullptr},
    {kIdLoadPresets, kIdLoadPresets, &EffectDialog::OnLoadPresets, nullptr},
    {kIdInfo, kIdInfo, &EffectDialog::OnInfo, nullptr},
};

// Letter keys by their position on the keyboard (evdev key codes as X11 reports them), for
// layouts whose keys carry no Latin letters.
char letterAtKeyPosition(quint32 scanCode) {
  static constexpr struct {
    quint32 code;
    char letter;
  } kPositions[] = {{24, 'Q'}, {25, 'W'}, {26, 'E'}, {27, 'R'}, {28, 'T'}, {29, 'Y'}, {30, 'U'},
                    {31, 'I'}, {32, 'O'}, {33, 'P'}, {38, 'A'}, {39, 'S'}, {40, 'D'}, {41, 'F'},
                    {42, 'G'}, {43, 'H'}, {44, 'J'}, {45, 'K'}, {46, 'L'}, {52, 'Z'}, {53, 'X'},
                    {54, 'C'}, {55, 'V'}, {56, 'B'}, {57, 'N'}, {58, 'M'}};
  for (const auto& p : kPositions)
    if (p.code == scanCode) return p.letter;
  return 0;
}

char letterOf(const QKeyEvent* event) {
  const int key = event->key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<char>('A' + (key - Qt::Key_A));
  const QString text = event->text();
  if (text.size() == 1 && text[0].isLetter() && text[0].script() != QChar::Script_Latin)
    return letterAtKeyPosition(event->nativeScanCode());
  return 0;
}

QColor byteColor(int32_t r, int32_t g, int32_t b) {
  return QColor(r & 0xFF, g & 0xFF, b & 0xFF);
}

}  // namespace

EffectDialog::EffectDialog(GraphFactory makeGraph, MessageBoxes& boxes, FileDialogs& files)
    : boxes_(boxes), files_(files) {
  setWindowTitle(QStringLiteral("Video Zarnix"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(false);
  QFont font(QStringLiteral("Verdana"), 12);
  font.setStyleHint(QFont::SansSerif);
  setFont(font);
  resize(unitsToPixelsX(kDialogWidthUnits), unitsToPixelsY(kDialogHeightUnits));

  built_ = buildDialog(this, [](const ControlRow& row, QWidget* parent) -> QWidget* {
    return row.id == kIdPreview ? new PreviewWidget(parent) : nullptr;
  });
  ops_ = std::make_unique<QtDialogOps>(this, built_);
  bindMembers();
  appIcon = makeAppIcon();
  graph_ = makeGraph(engine);
  source_ = std::make_unique<SourceCommands>(engine, *graph_, *ops_, boxes, files,
                                             previewControl->frameTarget());
  presets_ = std::make_unique<PresetSession>(engine, *ops_, boxes, files);
  bindControls();
  new FileDropTarget(this, [this](const std::vector<std::string>& paths) {
    source_->OnDropFiles(paths);
  });  // a child of the dialog
  qApp->installEventFilter(this);
}

EffectDialog::~EffectDialog() {
  qApp->removeEventFilter(this);
  releaseGraphOnce();  // whatever ended the run, no frame may arrive after this
  if (mainDialogWindow == ops_.get()) mainDialogWindow = nullptr;
}

void EffectDialog::bindMembers() {
  auto slider = [this](int id) { return static_cast<TrackBar*>(control(id)); };
  colorSlider = slider(kIdColor);
  tintBlueSlider = slider(kIdTintBlue);
  tintGreenSlider = slider(kIdTintGreen);
  outputBlueSlider = slider(kIdOutputBlue);
  outputGreenSlider = slider(kIdOutputGreen);
  outputRedSlider = slider(kIdOutputRed);
  quantizeBlueSlider = slider(kIdQuantizeBlue);
  quantizeGreenSlider = slider(kIdQuantizeGreen);
  quantizeRedSlider = slider(kIdQuantizeRed);
  lowPassBlueSlider = slider(kIdLowPassBlue);
  lowPassGreenSlider = slider(kIdLowPassGreen);
  lowPassRedSlider = slider(kIdLowPassRed);
  floorSlider = slider(kIdFloor);
  gainBlueSlider = slider(kIdGainBlue);
  gainGreenSlider = slider(kIdGainGreen);
  gainRedSlider = slider(kIdGainRed);
  tintRedSlider = slider(kIdTintRed);
  previewControl = static_cast<PreviewWidget*>(control(kIdPreview));
}

void EffectDialog::bindControls() {
  for (const Binding& b : kBindings)
    for (int id = b.first; id <= b.last; ++id) {
      auto* button = qobject_cast<QAbstractButton*>(control(id));
      if (button == nullptr) continue;
      connect(button, &QAbstractButton::clicked, this,
              [this, b, id] { b.plain ? (this->*b.plain)() : (this->*b.ranged)(id); });
    }
  for (const auto& [id, widget] : built_.controls)
    if (auto* slider = qobject_cast<TrackBar*>(widget))
      connect(slider, &TrackBar::scrolled, this, [this](Qt::Orientation orientation) {
        orientation == Qt::Horizontal ? onHorizontalScroll(engine, *ops_)
                                      : onVerticalScroll(engine, *ops_);
      });
}

int EffectDialog::DoModal() {
  OnInitDialog();
  // Our own loop rather than exec(): the dialog hides for a moment whenever its frame
  // changes (full screen and back), and a hide would end exec()'s loop. This one ends only
  // when the dialog is done (OK, close).
  QEventLoop loop;
  connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
  show();
  loop.exec(QEventLoop::DialogExec);
  return result();
}

void EffectDialog::OnInitDialog() {
  setWindowIcon(appIcon);  // large and small alike
  DialogOps& d = *ops_;
  d.setSliderTickFrequency(kIdTintRed, 1);
  d.setSliderLineSize(kIdTintRed, 1);
  d.setSliderPageSize(kIdTintRed, 1);
  for (int id : {kIdGainRed, kIdGainGreen, kIdGainBlue}) d.setSliderPageSize(id, 1);
  for (const NamedSetting& s : kNamedSettings)
    if (s.control.kind == SettingControl::Kind::Slider)
      for (int c = 0; c < s.channels; ++c)
        d.setSliderRange(s.control.ids[c], s.control.sliderMin, s.control.sliderMax);

  if (startOnFile_) {
    OnMpegRadio();
    d.checkRadioButton(kIdVideoRadio, kIdMpegRadio, kIdMpegRadio);
  } else {
    OnVideoRadio();
    d.checkRadioButton(kIdVideoRadio, kIdMpegRadio, kIdVideoRadio);
  }
  d.checkRadioButton(kIdModeFirst, kIdModeLast, kIdModeFirst);
  for (int i = 0; i < 16; ++i)
    d.placeControl(kIdPaletteFirst + i, 868, 12 + 29 * i, 30, 22, Stacking::Top);
  const int generators[] = {kIdRandom, kIdRamp, kIdLimit, kIdRange};
  for (int i = 0; i < 4; ++i)
    d.placeControl(generators[i], 740, 360 + 30 * i, 90, 25, Stacking::Top);
  mainDialogWindow = ops_.get();
  d.setFocusTo(kIdInvertRed);
}

void EffectDialog::OnVideoRadio() {
  source_->OnVideoRadio();
}
void EffectDialog::OnMpegRadio() {
  source_->OnMpegRadio();
}
void EffectDialog::OnSelectMpeg() {
  source_->OnSelectMpeg();
}
void EffectDialog::OnRun() {
  source_->OnRun();
}
void EffectDialog::OnStop() {
  source_->OnStop();
}
void EffectDialog::OnVideo() {
  source_->OnVideo();
}
void EffectDialog::OnMpg() {
  source_->OnMpg();
}
void EffectDialog::OnAviToggle() {
  source_->OnAviToggle();
}
void EffectDialog::OnRefresh() {
  refreshControls(engine, *ops_);
}
void EffectDialog::OnFullScreen() {
  enterFullScreen(engine, *ops_);
}

void EffectDialog::OnInvert(int id) {
  switch (id) {
    case kIdInvertRed:
      toggleFlag(engine.invertRed);
      break;
    case kIdInvertGreen:
      toggleFlag(engine.invertGreen);
      break;
    case kIdInvertBlue:
      toggleFlag(engine.invertBlue);
      break;
    case kIdMirror:
      toggleFlag(engine.mirror);
      break;
    default:
      break;
  }
}

void EffectDialog::OnModeRadio(int id) {
  onModeRadio(engine, *ops_, id);
}

void EffectDialog::OnPaletteButton(int id) {
  pickPaletteEntry(engine, id - kIdPaletteFirst);
  invalidateArea(kPaletteStripArea);
}

void EffectDialog::OnRandom() {
  generateRandom(engine, engine.paletteRandom);
  invalidateArea(kPaletteStripArea);
}

void EffectDialog::OnRamp() {
  generateRamp(engine, engine.paletteRandom);
  invalidateArea(kPaletteStripArea);
}

void EffectDialog::OnLimit() {
  generateLimit(engine, engine.paletteRandom);
  invalidateArea(kPaletteStripArea);
}

void EffectDialog::OnRange() {
  armRange(engine);
}
void EffectDialog::OnColorCycle() {
  toggleFlag(engine.colorCycle);
}
void EffectDialog::OnPresetButton(int id) {
  presets_->OnPresetButton(id - kIdLetterA);
}
void EffectDialog::OnSaveToggle() {
  toggleSaveArmed(engine);
}
void EffectDialog::OnSavePresets() {
  presets_->OnSavePresets();
}
void EffectDialog::OnLoadPresets() {
  presets_->OnLoadPresets();
}
void EffectDialog::OnInfo() {
  showInfo(boxes_);
}

void EffectDialog::releaseGraphOnce() {
  if (graphReleased_ || !graph_) return;
  graphReleased_ = true;
  ++graphReleases_;
  source_->OnClose();
}

void EffectDialog::OnOK() {
  if (!presets_->OnClosing()) return;  // looks not yet in a bank are never lost silently
  releaseGraphOnce();
  accept();
}

void EffectDialog::OnClose() {
  releaseGraphOnce();
}

void EffectDialog::closeEvent(QCloseEvent* event) {
  // A quit signal cannot wait for an answer.
  if (quitRequested()) {
    if (presets_->unsaved())
      std::fprintf(stderr,
                   "videozarnix: quit by signal: looks stored since the bank was last "
                   "saved are not kept\n");
  } else if (!presets_->OnClosing()) {
    event->ignore();  // the user chose to stay, or the looks could not be saved
    return;
  }
  OnClose();
  QDialog::closeEvent(event);  // ends the run as Cancel does
}

void EffectDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (isMinimized()) {
    const int w = ops_->iconWidth(), h = ops_->iconHeight();
    appIcon.paint(&p, (width() - w + 1) / 2, (height() - h + 1) / 2, w, h);
    return;
  }
  for (int i = 0; i < kPaletteSize; ++i)
    p.fillRect(838, 12 + 29 * i, 20, 20,
               byteColor(loadRelaxed(engine.paletteRed[i]), loadRelaxed(engine.paletteGreen[i]),
                         loadRelaxed(engine.paletteBlue[i])));
  p.fillRect(740, 12, 20, 255, QColor(255, 0, 0));
  p.fillRect(765, 12, 20, 255, QColor(0, 255, 0));
  p.fillRect(790, 12, 20, 255, QColor(0, 0, 255));
  p.fillRect(740, 280, 70, 70,
             byteColor(engine.currentRed, engine.currentGreen, engine.currentBlue));
  p.fillRect(740, 267 - engine.currentRed, 20, 2, Qt::white);
  p.fillRect(765, 267 - engine.currentGreen, 20, 2, Qt::white);
  p.fillRect(790, 267 - engine.currentBlue, 20, 2, Qt::white);
}

void EffectDialog::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  // Only a click on the dialog's own surface picks; one passed on by the full-screen preview
  // over the bars must not.
  if (event->button() == Qt::LeftButton && childAt(at) == nullptr)
    pickCurrentColor(engine, *ops_, at.x(), at.y());
  QDialog::mousePressEvent(event);
}

bool EffectDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  // Only keys for this dialog and its controls: never those typed in a message box or a
  // file dialog.
  auto* widget = static_cast<QWidget*>(watched);
  if (widget != this && !isAncestorOf(widget)) return false;
  if (widget->window() != this) return false;
  // The first receiver of a key is the focus widget; the same key passed on to a parent
  // must not be handled twice.
  QWidget* focus = QApplication::focusWidget();
  if (widget != (focus && isAncestorOf(focus) ? focus : this)) return false;
  return preTranslateKey(static_cast<QKeyEvent*>(event));
}

bool EffectDialog::preTranslateKey(QKeyEvent* event) {
  const bool escape = event->key() == Qt::Key_Escape;
  const char letter = (event->modifiers() & Qt::AltModifier) ? 0 : letterOf(event);
  if (preTranslateKeyDown(engine, *ops_, escape, letter) == KeyVerdict::Consumed) return true;
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Enter presses the focused push button, or else performs OK ("Save" is a check box,
    // however it is drawn).
    if (auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
        button && !button->isCheckable() && isAncestorOf(button)) {
      button->click();
    } else {
      OnOK();
    }
    return true;
  }
  return false;
}

}  // namespace vz
