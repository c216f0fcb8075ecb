// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/screen_choice.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

namespace vz {

QString describeScreen(const QScreen* screen) {
  const int index = QGuiApplication::screens().indexOf(const_cast<QScreen*>(screen));
  if (screen == nullptr || index < 0) return {};
  return QStringLiteral("%1: %2 %3x%4")
      .arg(index)
      .arg(screen->name())
      .arg(screen->size().width())
      .arg(screen->size().height());
}

QString describeScreens() {
  QStringList all;
  for (const QScreen* s : QGuiApplication::screens()) all << describeScreen(s);
  return all.join(QStringLiteral(", "));
}

Result<QScreen*> findScreen(const std::string& indexOrName) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  const QString wanted = QString::fromStdString(indexOrName).trimmed();
  const std::string there = screens.empty()
                                ? std::string("; no screen is there")
                                : "; the screens are " + describeScreens().toStdString();
  bool isNumber = false;
  const int index = wanted.toInt(&isNumber);
  if (isNumber) {
    if (index >= 0 && index < screens.size()) return screens[index];
    return Status::failure("no screen " + indexOrName + there);
  }
  QList<QScreen*> named;
  for (QScreen* s : screens)
    if (s->name() == wanted) named << s;
  if (named.size() == 1) return named.front();
  if (named.empty()) return Status::failure("no screen named " + indexOrName + there);
  return Status::failure("more than one screen is named " + indexOrName + "; give its number" +
                         there);
}

}  // namespace vz
