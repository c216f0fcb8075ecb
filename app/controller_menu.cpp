// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller_menu.h"

#include <QMenu>
#include <QWidget>

#include "app/controller_bridge.h"

namespace vz {

void addControllerMenuActions(QMenu& menu, ControllerBridge& bridge) {
  QAction* learn = menu.addAction(QStringLiteral("MIDI Learn"));
  learn->setCheckable(true);
  learn->setChecked(bridge.learning());
  QObject::connect(learn, &QAction::triggered, &bridge,
                   [&bridge](bool checked) { bridge.setLearning(checked); });
  QObject::connect(&bridge, &ControllerBridge::learningChanged, learn, &QAction::setChecked);
  QAction* clear = menu.addAction(QStringLiteral("Clear MIDI Mappings"));
  QObject::connect(clear, &QAction::triggered, &bridge, [&bridge] { bridge.clearMappings(); });
  QAction* oscLearn = menu.addAction(QStringLiteral("OSC Learn"));
  oscLearn->setCheckable(true);
  oscLearn->setChecked(bridge.oscLearning());
  QObject::connect(oscLearn, &QAction::triggered, &bridge,
                   [&bridge](bool checked) { bridge.setOscLearning(checked); });
  QObject::connect(&bridge, &ControllerBridge::oscLearningChanged, oscLearn, &QAction::setChecked);
  QAction* oscClear = menu.addAction(QStringLiteral("Clear OSC Mappings"));
  QObject::connect(oscClear, &QAction::triggered, &bridge,
                   [&bridge] { bridge.clearOscMappings(); });
}

void installControllerContextMenu(QWidget& preview, ControllerBridge& bridge) {
  preview.setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(&preview, &QWidget::customContextMenuRequested, &bridge,
                   [&preview, &bridge](const QPoint& at) {
                     QMenu menu(&preview);
                     addControllerMenuActions(menu, bridge);
                     menu.exec(preview.mapToGlobal(at));
                   });
}

}  // namespace vz
