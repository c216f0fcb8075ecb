// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fade_control.h"

#include <QActionGroup>
#include <QMenu>

#include "engine/look_fade.h"

namespace vz {

int fadeFramesFor(double seconds, double beats, double framesPerSecond, std::optional<double> bpm) {
  if (beats > 0 && bpm && *bpm > 0) seconds = beats * 60.0 / *bpm;
  return fadeFrameCount(seconds, framesPerSecond);
}

FadeControl::FadeControl(VideoEngine& engine, std::function<double()> framesPerSecond)
    : engine_(engine), framesPerSecond_(std::move(framesPerSecond)) {
  engine_.fadeLink.askFramesWith(
      [](void* self) { return static_cast<FadeControl*>(self)->framesNow(); }, this);
}

FadeControl::~FadeControl() {
  engine_.fadeLink.askFramesWith(nullptr, nullptr);
}

void FadeControl::apply(const FadeOptions& options) {
  engine_.fadeLink.setSeconds(options.seconds);
  engine_.fadeLink.setBeats(options.beats);
}

int FadeControl::framesNow() const {
  const FadeLink& link = engine_.fadeLink;
  return fadeFramesFor(link.seconds(), link.beats(), framesPerSecond_ ? framesPerSecond_() : 0,
                       bpm_ ? bpm_() : std::nullopt);
}

void FadeControl::addMenu(QMenu& menu) {
  struct Choice {
    const char* title;
    double seconds;  // negative: keep the seconds (the fallback without a tempo)
    double beats;
  };
  static constexpr Choice kChoices[] = {
      {"Off", 0, 0}, {"0.25 s", 0.25, 0}, {"0.5 s", 0.5, 0}, {"1 s", 1, 0},
      {"2 s", 2, 0}, {"1 beat", -1, 1},   {"1 bar", -1, 4},
  };
  QMenu* fade = menu.addMenu(QStringLiteral("Fade"));
  auto* group = new QActionGroup(fade);
  const FadeLink& link = engine_.fadeLink;
  for (const Choice& c : kChoices) {
    QAction* item = fade->addAction(QString::fromUtf8(c.title));
    item->setCheckable(true);
    group->addAction(item);
    item->setChecked(link.beats() > 0 ? c.beats == link.beats()
                                      : c.beats == 0 && c.seconds == link.seconds());
    QObject::connect(item, &QAction::triggered, fade, [this, c] {
      if (c.seconds >= 0) engine_.fadeLink.setSeconds(c.seconds);
      engine_.fadeLink.setBeats(c.beats);
    });
  }
}

}  // namespace vz
