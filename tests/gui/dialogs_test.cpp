#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "gui_fakes.h"
#include "ui/options_dialogs.h"
#include "ui/twips.h"

namespace tavo::ui {
namespace {

using settings::Config;

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    settings::SetDefaultConfig(config_, settings::SettingsGroup::kAll);
    owner_.setGeometry(100, 100, 600, 400);
  }
  OptionsContext Context() { return {config_, testing::NativeDir(dir_), {30000, 20000}}; }
  std::string CfgPath() const { return testing::NativeDir(dir_) + "tavo_c.cfg"; }
  std::string& Value(int index) { return config_.ConfigValues[index]; }

  QTemporaryDir dir_;
  Config config_;
  QWidget owner_;
};

TEST_F(OptionsTest, WindowDefaultThenCancelRestoresOnlyTheGeometry) {
  Value(settings::WindowLeft) = " 300";
  Value(settings::WindowTop) = " 450";
  Value(settings::WindowWidth) = " 8000";
  Value(settings::WindowHeight) = " 7000";
  Value(settings::SaveGeometryOnExit) = "0";
  Value(settings::ShowAboutAtStart) = "0";
  Value(settings::PortNumber) = " 3";
  OptionsWindow dialog(&owner_, Context());
  QTest::mouseClick(dialog.Command1(), Qt::LeftButton);
  EXPECT_TRUE(dialog.Check1()->isChecked());
  EXPECT_TRUE(dialog.Check2()->isChecked());
  QTest::mouseClick(dialog.Command3(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(Value(settings::SaveGeometryOnExit), "0");
  EXPECT_EQ(Value(settings::ShowAboutAtStart), "0");
  EXPECT_EQ(Value(settings::WindowLeft), "0");
  EXPECT_EQ(Value(settings::WindowTop), "0");
  EXPECT_EQ(Value(settings::WindowWidth), "9375");
  EXPECT_EQ(Value(settings::WindowHeight), "7425");
  EXPECT_EQ(Value(settings::PortNumber), " 3");
  EXPECT_EQ(testing::ReadFile(CfgPath()), "<missing>");
}

TEST_F(OptionsTest, WindowOkStoresTheChecksAndWrites) {
  Value(settings::WindowWidth) = "100";
  Value(settings::ShowAboutAtStart) = " 1";  // not exactly "1": shown unticked
  OptionsWindow dialog(&owner_, Context());
  EXPECT_TRUE(dialog.Check1()->isChecked());
  EXPECT_FALSE(dialog.Check2()->isChecked());
  dialog.Check1()->setChecked(false);
  QTest::mouseClick(dialog.Command2(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(testing::ReadFile(CfgPath()),
            "0\r\n0\r\n0\r\n0\r\n6400\r\n7425\r\n\r\n\r\n\r\n\r\n2\r\n2\r\n");
}

TEST_F(OptionsTest, MainOptionsSelectTheStoredPortAndSpeed) {
  Value(settings::PortNumber) = "4";
  Value(settings::BaudCode) = "1";
  OptionsMain dialog(&owner_, Context());
  EXPECT_EQ(dialog.windowTitle(), "Main Options");
  EXPECT_EQ(dialog.size(), TwipsSize(4935, 2280));
  EXPECT_EQ(dialog.Combo1()->currentText(), "COM4");
  EXPECT_EQ(dialog.Combo2()->currentText(), "4800");

  QTest::mouseClick(dialog.Command1(), Qt::LeftButton);
  EXPECT_EQ(dialog.Combo1()->currentText(), "COM2");
  EXPECT_EQ(dialog.Combo2()->currentText(), "9600");
  EXPECT_EQ(Value(settings::PortNumber), "4");  // Default changes only the display
  EXPECT_EQ(Value(settings::BaudCode), "1");
}

TEST_F(OptionsTest, MainOkWritesThePortLinesWithLeadingBlanks) {
  OptionsMain dialog(&owner_, Context());
  dialog.Combo1()->setCurrentIndex(2);
  dialog.Combo2()->setCurrentIndex(3);
  QTest::mouseClick(dialog.Command2(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(testing::ReadFile(CfgPath()),
            "0\r\n0\r\n1\r\n1\r\n9375\r\n7425\r\n\r\n\r\n\r\n\r\n 3\r\n 4\r\n");
}

}  // namespace
}  // namespace tavo::ui
