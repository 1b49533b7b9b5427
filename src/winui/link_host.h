#pragma once

#include <string>

#include "link/serial_link.h"
#include "platform/win_serial_port.h"
#include "winui/main_form.h"

namespace tavo::winui {

// The link's side of the window: pending events run through it, and a port
// that fails to open says below the error which port it is and why.
class FormLinkHost : public link::LinkHost {
 public:
  FormLinkHost(MainForm& form, const platform::WinSerialPort& port) : form_(form), port_(port) {}
  void PumpEvents() override { form_.PumpEvents(); }
  void ShowLinkError(const std::string& text) override {
    form_.ShowMessage(text, port_.OpenError() != 0 ? Why() : std::string());
  }

 private:
  // "cannot open COM2: <the system's words>", then what to do about it.
  std::string Why() const {
    std::string why = port_.InUseText();
    if (why.empty()) why = "cannot open " + port_.DeviceName() + ": " + port_.ErrorText();
    const std::string advice = port_.OpenFailureText();
    return advice.empty() ? why : why + ".\n" + advice;
  }

  MainForm& form_;
  const platform::WinSerialPort& port_;
};

}  // namespace tavo::winui
