#pragma once

#include <QDialog>

#include "commands/client_view.h"

class QLineEdit;
class QPushButton;

namespace tavo::ui {

// "Choosing directory name ...": asks for the name of a new organizer directory.
class InputNewDir : public QDialog {
  Q_OBJECT

 public:
  explicit InputNewDir(QWidget* parent);

  // The outcome so far: result 0 until a button closes the dialog.
  const commands::NewDirectoryAnswer& Answer() const { return answer_; }
  QLineEdit* Text1() const { return text1_; }
  QPushButton* Command1() const { return command1_; }
  QPushButton* Command2() const { return command2_; }

 private:
  commands::NewDirectoryAnswer answer_;
  QLineEdit* text1_;
  QPushButton* command1_;
  QPushButton* command2_;
};

}  // namespace tavo::ui
