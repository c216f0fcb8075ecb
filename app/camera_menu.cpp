// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/camera_menu.h"

#include <QActionGroup>
#include <QMenu>
#include <map>
#include <string>
#include <vector>

#include "app/effect_dialog.h"
#include "res/control_ids.h"
#include "source/media_graph.h"

namespace vz {

void addCameraItems(QMenu& menu, DeviceList& devices, MediaGraph& graph, EffectDialog& dialog) {
  struct Camera {
    std::string name, key;
  };
  std::vector<Camera> cameras;
  std::map<std::string, int> sameName;
  for (const auto& device : devices.videoInputDevices()) {
    Camera c;
    if (!device->readProperty("FriendlyName", c.name)) c.name = "Camera";
    c.key = device->key();
    sameName[c.name] += 1;
    cameras.push_back(std::move(c));
  }

  QMenu* list = menu.addMenu(QObject::tr("Cameras"));
  list->setToolTipsVisible(true);
  if (cameras.empty()) list->addAction(QObject::tr("No camera found"))->setEnabled(false);
  auto* group = new QActionGroup(list);
  const bool video = dialog.engine.sourceIsFile == 0;
  for (const Camera& c : cameras) {
    // Two cameras of one model are told apart by their keys.
    std::string label = c.name;
    if (sameName[c.name] > 1 && !c.key.empty()) label += " (" + c.key + ")";
    QAction* a = list->addAction(QString::fromStdString(label));
    a->setCheckable(true);
    a->setActionGroup(group);
    a->setData(QString::fromStdString(c.key));
    a->setToolTip(QString::fromStdString(c.key));
    a->setChecked(video && !c.key.empty() && c.key == graph.cameraKey());
    a->setEnabled(!c.key.empty());  // without a key it can only be picked at the question
    const std::string key = c.key;
    QObject::connect(a, &QAction::triggered, &dialog, [&graph, &dialog, key] {
      graph.setCameraKey(key);
      dialog.OnVideoRadio();
      dialog.dialogOps().checkRadioButton(kIdVideoRadio, kIdMpegRadio, kIdVideoRadio);
    });
  }
}

}  // namespace vz
