// SPDX-License-Identifier: GPL-3.0-or-later
// OSC learn as the user meets it: the preview's menu clicked through the windows, a control
// moved on the dialog, a tablet's fader sent over UDP on the loopback address, and the
// binding kept in the mappings file across a restart beside the MIDI ones.
#include <QApplication>
#include <QMenu>

#include "app/controller_menu.h"
#include "tests/controller_fixture.h"

namespace vz::test {
namespace {

class OscLearnMenu : public ControllerFixture {
 protected:
  Udp tablet;

  void SetUp() override {
    ASSERT_TRUE(openOnCamera());
    QApplication::setActiveWindow(dialog.get());
    outputs->menu->setExtraItems([this](QMenu& m) { addControllerMenuActions(m, *bridge); });
  }
  template <class Pred>
  bool waitUntil(Pred pred) {
    return QTest::qWaitFor(pred, 10000);
  }
  void startBridge() {
    startOsc();
    tablet.port = oscPort;
  }
  // A right click on the preview, then a click on `text` in the menu it opens: both through
  // the windows, where the toolkit finds the receiver by position.
  void chooseInPreviewMenu(const QString& text) {
    const QPoint at = dialog->previewControl->mapTo(dialog.get(), QPoint(50, 50));
    QTest::mouseClick(dialog->windowHandle(), Qt::RightButton, {}, at);
    ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget() != nullptr; }));
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    QAction* item = find(popup, text);
    ASSERT_NE(item, nullptr) << text.toStdString();
    QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, {},
                      popup->actionGeometry(item).center());
    ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget() == nullptr; }));
    QApplication::setActiveWindow(dialog.get());
  }
  void clickControl(int id) {
    QWidget* w = dialog->control(id);
    QTest::mouseClick(dialog->windowHandle(), Qt::LeftButton, {},
                      w->mapTo(dialog.get(), w->rect().center()));
    QApplication::processEvents();
  }
};

TEST_F(OscLearnMenu, BindsATabletFaderAndKeepsItAcrossARestart) {
  std::filesystem::create_directories(dir.path / "videozarnix");
  writeFile(mappingsPath, "# my keyboard\n1 7 gain/green\n");
  startBridge();

  chooseInPreviewMenu(QStringLiteral("OSC Learn"));
  ASSERT_TRUE(bridge->oscLearning());
  EXPECT_TRUE(checked(QStringLiteral("OSC Learn")));
  clickControl(kIdGainRed);  // the control first, then the tablet's fader
  tablet.send("/1/fader1", "f", 0.37f);
  ASSERT_TRUE(waitUntil([&] { return !bridge->oscLearning(); }));
  EXPECT_FALSE(checked(QStringLiteral("OSC Learn")));
  EXPECT_EQ(bridge->oscMappings().find("/1/fader1"),
            (OscMapping{"/1/fader1", findControlTarget("gain/red"), OscForm::Float}));
  // The message that completed the learning moved the control already, over its range.
  EXPECT_TRUE(waitUntil([&] { return slider(kIdGainRed) == 94; }));
  tablet.send("/1/fader1", "f", 1.0f);
  EXPECT_TRUE(waitUntil([&] { return slider(kIdGainRed) == 255; }));
  EXPECT_EQ(loadRelaxed(dialog->engine.gainRed), 255);
  const std::string saved = readFile(mappingsPath);
  EXPECT_NE(saved.find("\n/1/fader1 gain/red float\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\n1 7 gain/green 0 255\n"), std::string::npos) << saved;

  // The next start reads it back from the file.
  bridge.reset();
  startBridge();
  ASSERT_EQ(bridge->oscMappings().all().size(), 1u);
  ASSERT_EQ(bridge->mappings().all().size(), 1u);
  tablet.send("/1/fader1", "f", 0.0f);
  EXPECT_TRUE(waitUntil([&] { return slider(kIdGainRed) == 0; }));

  // Cleared from the menu: gone from the file too, the MIDI line stays.
  chooseInPreviewMenu(QStringLiteral("Clear OSC Mappings"));
  EXPECT_TRUE(bridge->oscMappings().all().empty());
  const std::string cleared = readFile(mappingsPath);
  EXPECT_EQ(cleared.find("/1/fader1"), std::string::npos) << cleared;
  EXPECT_NE(cleared.find("1 7 gain/green"), std::string::npos) << cleared;
  tablet.send("/1/fader1", "f", 1.0f);
  tablet.send("/videozarnix/gain/blue", "i", 9);  // read after the fader on the same thread
  ASSERT_TRUE(waitUntil([&] { return slider(kIdGainBlue) == 9; }));
  EXPECT_EQ(slider(kIdGainRed), 0);
}

}  // namespace
}  // namespace vz::test
