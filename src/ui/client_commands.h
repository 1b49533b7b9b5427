#pragma once

#include "commands/client.h"
#include "ui/window_commands.h"

namespace tavo::ui {

// Starts the window's commands on a commands::Client.
class ClientCommands final : public WindowCommands {
 public:
  explicit ClientCommands(commands::Client& client) : client_(client) {}
  void Synchronize_Click() override { client_.Synchronize_Click(); }
  void ListView1_DblClick() override { client_.ListView1_DblClick(); }
  void Copy1_Click() override { client_.Copy1_Click(); }
  void Copy2_Click() override { client_.Copy2_Click(); }
  void Delete_Click() override { client_.Delete_Click(); }
  void CreateDir_Click() override { client_.CreateDir_Click(); }
  void ListComputerDirectory() override { client_.ListComputerDirectory(); }
  void Drive1_Change() override { client_.Drive1_Change(); }
  void ListView2_DblClick() override { client_.ListView2_DblClick(); }
  void SetUnsynchronized() override { client_.SetUnsynchronized(); }
  void RequestStop() override { client_.RequestStop(); }
  bool Busy() const override { return client_.Busy(); }

 private:
  commands::Client& client_;
};

}  // namespace tavo::ui
