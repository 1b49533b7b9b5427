#pragma once

#include <QDialog>
#include <string>

#include "settings/config.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace tavo::ui {

// What both option dialogs work on: the settings table, where it is saved, and
// the screen size the range checks need.
struct OptionsContext {
  settings::Config& config;
  std::string start_directory;
  settings::ScreenSize screen;
};

// Places `dialog` at the centre of `owner` (top first, then left).
void CentreOn(QWidget& dialog, const QWidget& owner);

// "Window Options": saving the geometry at exit and the About window at start.
class OptionsWindow : public QDialog {
  Q_OBJECT

 public:
  OptionsWindow(QWidget* owner, OptionsContext context);

  void ShowSettings(const settings::Config& shown);
  void Command1_Click();  // "&Default"
  void Command2_Click();  // "&OK"

  QCheckBox* Check1() const { return check1_; }
  QCheckBox* Check2() const { return check2_; }
  QPushButton* Command1() const { return command1_; }
  QPushButton* Command2() const { return command2_; }
  QPushButton* Command3() const { return command3_; }

 private:
  OptionsContext context_;
  QCheckBox* check1_;
  QCheckBox* check2_;
  QPushButton* command1_;
  QPushButton* command2_;
  QPushButton* command3_;
};

// "Main Options": the serial port and its speed.
class OptionsMain : public QDialog {
  Q_OBJECT

 public:
  OptionsMain(QWidget* owner, OptionsContext context);

  void ShowSettings(const settings::Config& shown);
  void Command1_Click();  // "&Default"
  void Command2_Click();  // "&OK"

  QComboBox* Combo1() const { return combo1_; }
  QComboBox* Combo2() const { return combo2_; }
  QPushButton* Command1() const { return command1_; }
  QPushButton* Command2() const { return command2_; }
  QPushButton* Command3() const { return command3_; }

 private:
  OptionsContext context_;
  QComboBox* combo1_;
  QComboBox* combo2_;
  QPushButton* command1_;
  QPushButton* command2_;
  QPushButton* command3_;
};

}  // namespace tavo::ui
