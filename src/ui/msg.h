#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QGroupBox;

namespace tavo::ui {

// The status window: one line of progress and a "Cancel" button. It stays up
// until the running action unloads it; its close box and Escape act as "Cancel".
class Msg : public QDialog {
  Q_OBJECT

 public:
  // `on_cancel` runs once per action, when the user asks it to stop.
  Msg(QWidget* parent, std::function<void()> on_cancel);

  // Load: "Cancel" becomes available again and the text is cleared.
  void Load();
  void SetText(const QString& text);
  QString Text() const;
  // The "Cancel" button, as a click on it does.
  void Command1_Click();
  bool CancelEnabled() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  std::function<void()> on_cancel_;
  QGroupBox* frame1_;
  QLabel* label1_;
  QPushButton* command1_;
};

}  // namespace tavo::ui
