#pragma once

namespace tavo::ui {

// The user's commands as the window starts them. The production binding is
// ClientCommands (client_commands.h); tests record the calls instead.
class WindowCommands {
 public:
  virtual ~WindowCommands() = default;
  virtual void Synchronize_Click() = 0;
  virtual void ListView1_DblClick() = 0;
  virtual void Copy1_Click() = 0;
  virtual void Copy2_Click() = 0;
  virtual void Delete_Click() = 0;
  virtual void CreateDir_Click() = 0;
  virtual void ListComputerDirectory() = 0;
  virtual void Drive1_Change() = 0;
  virtual void ListView2_DblClick() = 0;
  virtual void SetUnsynchronized() = 0;
  // The status window's "Cancel".
  virtual void RequestStop() = 0;
  // True while a command runs; the window then starts nothing else.
  virtual bool Busy() const = 0;
};

}  // namespace tavo::ui
