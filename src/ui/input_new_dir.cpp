#include "ui/input_new_dir.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/display_text.h"
#include "ui/twips.h"

namespace tavo::ui {

InputNewDir::InputNewDir(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint) {
  setObjectName("InputNewDir");
  setWindowTitle("Choosing directory name ...");
  setModal(true);
  setFixedSize(TwipsSize(6015, 1500));
  auto* frame1 = new QGroupBox(this);
  frame1->setObjectName("Frame1");
  frame1->setGeometry(TwipsRect(120, 120, 5775, 615));
  auto* label1 = new QLabel("Input name of the directory:", frame1);
  label1->setObjectName("Label1");
  label1->setGeometry(TwipsRect(120, 255, 2055, 255));
  text1_ = new QLineEdit(frame1);
  text1_->setObjectName("Text1");
  text1_->setGeometry(TwipsRect(2280, 240, 3375, 285));
  text1_->setAccessibleName("Input name of the directory:");
  label1->setBuddy(text1_);
  text1_->move(text1_->x() + FitLabel(*label1, 0), text1_->y());
  GrowToHold(*frame1, TwipsToPx(120));
  command1_ = new QPushButton("Ok", this);
  command1_->setObjectName("Command1");
  command1_->setGeometry(TwipsRect(1440, 960, 1215, 375));
  command2_ = new QPushButton("Cancel", this);
  command2_->setObjectName("Command2");
  command2_->setGeometry(TwipsRect(3360, 960, 1215, 375));
  // Neither button answers Enter. Escape closes the dialog as its close box
  // does, without a button's answer.
  for (QPushButton* b : {command1_, command2_}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  GrowToHold(*this, TwipsToPx(120));
  setTabOrder(text1_, command1_);
  setTabOrder(command1_, command2_);

  connect(command1_, &QPushButton::clicked, this, [this] {
    // The name goes on as the bytes the user typed, in UTF-8.
    answer_.NewDirectoryName = FromBytes(text1_->text().toUtf8());
    answer_.NewDirectoryResult = 1;
    accept();
  });
  connect(command2_, &QPushButton::clicked, this, [this] {
    answer_.NewDirectoryResult = 2;
    reject();
  });
}

}  // namespace tavo::ui
