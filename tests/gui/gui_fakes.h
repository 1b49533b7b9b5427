#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "commands/client_state.h"
#include "commands/computer_files.h"
#include "ui/main_form.h"
#include "ui/window_commands.h"

namespace tavo::ui::testing {

// Drives "c: [system]" and "h: [home]", the second one current.
class FakeComputerFiles : public commands::ComputerFiles {
 public:
  std::vector<std::string> Drives() override { return {"c: [system]", "h: [home]"}; }
  int CurrentDrive() override { return 1; }
  std::optional<commands::DirectoryListing> List(const std::string&) override { return {}; }
  bool OrdinaryFileExists(const std::string&) override { return false; }
  std::optional<std::int64_t> FileSize(const std::string&) override { return {}; }
  std::unique_ptr<commands::InputFile> OpenRead(const std::string&) override { return nullptr; }
  std::unique_ptr<commands::OutputFile> CreateReplacing(const std::string&) override {
    return nullptr;
  }
  bool MakeDirectory(const std::string&) override { return false; }
  bool IsStorableName(const std::string&) override { return true; }
};

// Records what the window starts.
class RecordingCommands : public WindowCommands {
 public:
  explicit RecordingCommands(commands::ClientState& state) : state_(state) {}
  void Synchronize_Click() override { calls.push_back("Synchronize_Click"); }
  void ListView1_DblClick() override { calls.push_back("ListView1_DblClick"); }
  void Copy1_Click() override { calls.push_back("Copy1_Click"); }
  void Copy2_Click() override { calls.push_back("Copy2_Click"); }
  void Delete_Click() override { calls.push_back("Delete_Click"); }
  void CreateDir_Click() override { calls.push_back("CreateDir_Click"); }
  void ListComputerDirectory() override { calls.push_back("ListComputerDirectory"); }
  void Drive1_Change() override { calls.push_back("Drive1_Change"); }
  void ListView2_DblClick() override { calls.push_back("ListView2_DblClick"); }
  void SetUnsynchronized() override { calls.push_back("SetUnsynchronized"); }
  void RequestStop() override {
    calls.push_back("RequestStop");
    state_.StopRequested = 1;
  }
  bool Busy() const override { return busy; }

  std::vector<std::string> calls;
  bool busy = false;

 private:
  commands::ClientState& state_;
};

// A clock that moves only when the code under test sleeps.
struct ManualWaitClock {
  double now = 1000.0;
  double slept = 0;
  int sleeps = 0;
  WaitClock Clock() {
    return {[this] { return now; },
            [this](double s) {
              now += s;
              slept += s;
              ++sleeps;
            }};
  }
};

inline std::string NativeDir(const QTemporaryDir& dir) {
  return QFile::encodeName(QDir::toNativeSeparators(dir.path() + "/")).toStdString();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll().toStdString();
}

}  // namespace tavo::ui::testing
