#include "ui/msg.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "ui/twips.h"

namespace tavo::ui {

Msg::Msg(QWidget* parent, std::function<void()> on_cancel)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint),
      on_cancel_(std::move(on_cancel)),
      frame1_(new QGroupBox(this)),
      label1_(new QLabel(frame1_)),
      command1_(new QPushButton("Cancel", this)) {
  setObjectName("Msg");
  setWindowTitle(" ");
  setAccessibleName("Progress");  // the caption is a blank
  setModal(false);
  setFixedSize(TwipsSize(6030, 2025));
  frame1_->setObjectName("Frame1");
  frame1_->setGeometry(TwipsRect(120, 120, 5775, 1095));
  label1_->setObjectName("Label1");
  label1_->setGeometry(TwipsRect(120, 240, 5535, 735));
  label1_->setAlignment(Qt::AlignCenter);
  label1_->setWordWrap(true);
  command1_->setObjectName("Command1");
  command1_->setGeometry(TwipsRect(2400, 1440, 1335, 375));
  command1_->setAutoDefault(false);
  connect(command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

void Msg::Load() {
  label1_->clear();
  command1_->setEnabled(true);
}

void Msg::SetText(const QString& text) {
  label1_->setText(text);
  label1_->setAccessibleName(text);
}

QString Msg::Text() const { return label1_->text(); }

void Msg::Command1_Click() {
  if (!command1_->isEnabled()) return;
  command1_->setEnabled(false);
  if (on_cancel_) on_cancel_();
}

bool Msg::CancelEnabled() const { return command1_->isEnabled(); }

void Msg::closeEvent(QCloseEvent* event) {
  // Only the action may unload the window; closing it asks for a stop.
  event->ignore();
  Command1_Click();
}

void Msg::reject() { Command1_Click(); }

}  // namespace tavo::ui
