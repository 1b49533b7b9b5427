#include "ui/options_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <utility>

#include "platform/port_device.h"
#include "ui/twips.h"

namespace tavo::ui {
namespace {

using settings::SettingsGroup;

constexpr Qt::WindowFlags kFixedDialog =
    Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;

QPushButton* MakeButton(const char* name, const char* caption, double left, double top,
                        QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(TwipsRect(left, top, 1215, 375));
  button->setAutoDefault(false);
  return button;
}

// Selects entry `whole - 1`; a value outside the list selects nothing.
void SelectEntry(QComboBox& combo, long long whole) {
  const long long index = whole - 1;
  combo.setCurrentIndex(index >= 0 && index < combo.count() ? static_cast<int>(index) : -1);
}

}  // namespace

void CentreOn(QWidget& dialog, const QWidget& owner) {
  const QRect main = owner.frameGeometry();
  const int top = main.top() + (main.height() - dialog.height()) / 2;
  const int left = main.left() + (main.width() - dialog.width()) / 2;
  dialog.move(left, top);
}

OptionsWindow::OptionsWindow(QWidget* owner, OptionsContext context)
    : QDialog(owner, kFixedDialog), context_(std::move(context)) {
  setObjectName("OptionsWindow");
  setWindowTitle("Window Options");
  setModal(true);
  setFixedSize(TwipsSize(4935, 1815));
  auto* frame1 = new QGroupBox(this);
  frame1->setObjectName("Frame1");
  frame1->setGeometry(TwipsRect(120, 120, 4695, 975));
  check1_ = new QCheckBox("&Save position and size of main window on exit", frame1);
  check1_->setObjectName("Check1");
  check1_->setGeometry(TwipsRect(480, 240, 3615, 255));
  check2_ = new QCheckBox("S&how \"About Program\" during loading", frame1);
  check2_->setObjectName("Check2");
  check2_->setGeometry(TwipsRect(480, 600, 3615, 255));
  // The captions must stay readable where the font is wider than designed.
  for (QCheckBox* box : {check1_, check2_}) {
    box->resize(std::max(box->width(), box->sizeHint().width()), box->height());
  }
  command1_ = MakeButton("Command1", "&Default", 120, 1320, this);
  command2_ = MakeButton("Command2", "&OK", 2160, 1320, this);
  command3_ = MakeButton("Command3", "&Cancel", 3600, 1320, this);
  GrowToHold(*frame1, TwipsToPx(120));
  GrowToHold(*this, TwipsToPx(120));
  connect(command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
  connect(command3_, &QPushButton::clicked, this, &QDialog::reject);
  if (owner != nullptr) CentreOn(*this, *owner);
  ShowSettings(context_.config);
}

void OptionsWindow::ShowSettings(const settings::Config& shown) {
  const auto& v = shown.ConfigValues;
  check1_->setChecked(v[settings::SaveGeometryOnExit] == "1");
  check2_->setChecked(v[settings::ShowAboutAtStart] == "1");
}

void OptionsWindow::Command1_Click() {
  ShowSettings(settings::PressDefault(context_.config, SettingsGroup::kWindow));
}

void OptionsWindow::Command2_Click() {
  auto& v = context_.config.ConfigValues;
  v[settings::SaveGeometryOnExit] = check1_->isChecked() ? "1" : "0";
  v[settings::ShowAboutAtStart] = check2_->isChecked() ? "1" : "0";
  settings::CheckConfig(context_.config, SettingsGroup::kWindow, context_.screen);
  settings::WriteConfig(context_.config, context_.start_directory);
  accept();
}

OptionsMain::OptionsMain(QWidget* owner, OptionsContext context)
    : QDialog(owner, kFixedDialog), context_(std::move(context)) {
  setObjectName("OptionsMain");
  setWindowTitle("Main Options");
  setModal(true);
  setFixedSize(TwipsSize(4935, 2280));
  auto* frame1 = new QGroupBox("Port Options:", this);
  frame1->setObjectName("Frame1");
  CaptionOnBorder(*frame1);
  frame1->setGeometry(TwipsRect(120, 120, 4695, 1575));
  auto* label1 = new QLabel("Serial Port with Organier:", frame1);
  label1->setObjectName("Label1");
  label1->setGeometry(TwipsRect(840, 390, 1815, 255));
  label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  combo1_ = new QComboBox(frame1);
  combo1_->setObjectName("Combo1");
  combo1_->setGeometry(TwipsRect(2880, 360, 855, 315));
  combo1_->addItems({"COM1", "COM2", "COM3", "COM4"});
#ifndef _WIN32
  // Which device each port is from here: a "com<n>" link, else a ttyS device.
  for (int n = 1; n <= combo1_->count(); ++n) {
    const std::string device = platform::SerialDeviceName(n, context_.start_directory);
    combo1_->setItemData(n - 1, QFile::decodeName(QByteArray::fromStdString(device)),
                         Qt::ToolTipRole);
  }
  auto show_device = [this](int index) {
    combo1_->setToolTip(combo1_->itemData(index, Qt::ToolTipRole).toString());
  };
  connect(combo1_, &QComboBox::currentIndexChanged, this, show_device);
  show_device(combo1_->currentIndex());
#endif
  label1->setBuddy(combo1_);
  auto* label2 = new QLabel("Serial Port Baud Rate:", frame1);
  label2->setObjectName("Label2");
  label2->setGeometry(TwipsRect(720, 960, 1935, 255));
  label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  combo2_ = new QComboBox(frame1);
  combo2_->setObjectName("Combo2");
  combo2_->setGeometry(TwipsRect(2880, 960, 855, 315));
  combo2_->addItems({"4800", "9600", "19200", "38400"});
  label2->setBuddy(combo2_);
  combo1_->setAccessibleName(label1->text());
  combo2_->setAccessibleName(label2->text());
  // Where the font is wider than designed, the labels and lists grow and the
  // lists stay lined up.
  const int shift = std::max(FitLabel(*label1, TwipsToPx(120)), FitLabel(*label2, TwipsToPx(120)));
  for (QComboBox* combo : {combo1_, combo2_}) {
    combo->setGeometry(combo->x() + shift, combo->y(),
                       std::max(combo->width(), combo->sizeHint().width()), combo->height());
  }
  command1_ = MakeButton("Command1", "&Default", 120, 1800, this);
  command2_ = MakeButton("Command2", "&OK", 2160, 1800, this);
  command3_ = MakeButton("Command3", "&Cancel", 3600, 1800, this);
  GrowToHold(*frame1, TwipsToPx(120));
  GrowToHold(*this, TwipsToPx(120));
  connect(command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
  connect(command3_, &QPushButton::clicked, this, &QDialog::reject);
  if (owner != nullptr) CentreOn(*this, *owner);
  ShowSettings(context_.config);
}

void OptionsMain::ShowSettings(const settings::Config& shown) {
  const auto& v = shown.ConfigValues;
  SelectEntry(*combo1_, settings::WholeValue(v[settings::PortNumber]));
  SelectEntry(*combo2_, settings::WholeValue(v[settings::BaudCode]));
}

void OptionsMain::Command1_Click() {
  ShowSettings(settings::PressDefault(context_.config, SettingsGroup::kPort));
}

void OptionsMain::Command2_Click() {
  auto& v = context_.config.ConfigValues;
  // With nothing selected the entry number is -1: the range check then
  // brings the value back to its default instead of writing "0".
  v[settings::PortNumber] = settings::StoredNumber(combo1_->currentIndex() + 1);
  v[settings::BaudCode] = settings::StoredNumber(combo2_->currentIndex() + 1);
  settings::CheckConfig(context_.config, SettingsGroup::kPort, context_.screen);
  settings::WriteConfig(context_.config, context_.start_directory);
  accept();
}

}  // namespace tavo::ui
