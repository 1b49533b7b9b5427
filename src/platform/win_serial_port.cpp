#include "platform/win_serial_port.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>

namespace tavo::platform {

namespace {

// Longest a ReadFile or WriteFile may block: Cancel and Ctrl-C are tested
// between slices.
constexpr DWORD kSliceMs = 20;

HANDLE Handle(void* handle) { return static_cast<HANDLE>(handle); }

bool Configure(HANDLE handle, const link::PortSettings& settings) {
  if (!SetupComm(handle, static_cast<DWORD>(settings.input_buffer),
                 static_cast<DWORD>(settings.output_buffer))) {
    return false;
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle, &dcb)) return false;
  dcb.BaudRate = static_cast<DWORD>(settings.baud);
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(handle, &dcb)) return false;
  // A read returns at once with what has come, else waits one slice for the
  // first character; a write gives up after one slice with what it sent.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = kSliceMs;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = kSliceMs;
  if (!SetCommTimeouts(handle, &timeouts)) return false;
  return PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT) != 0;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string WinPortPath(int port_number) {
  if (port_number < 1) return {};
  return "\\\\.\\COM" + std::to_string(port_number);
}

std::string WinPortPath(const std::string& name) {
  if (name.rfind("\\\\.\\", 0) == 0) return name;
  const std::string upper = Upper(name);
  if (upper.size() > 3 && upper.rfind("COM", 0) == 0 &&
      upper.find_first_not_of("0123456789", 3) == std::string::npos) {
    return "\\\\.\\" + upper;
  }
  return name;
}

std::string WinErrorText(std::uint32_t error) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer),
      0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length)
                                                     : "error " + std::to_string(error);
  LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

std::string WinPortAdvice(std::uint32_t error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "There is no such port: plug in the cable's adapter, or choose the port Device "
             "Manager shows under \"Ports (COM & LPT)\" (tavo-cli ports lists them).";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return "The port is in use by another program: close it (another Tavo, a terminal "
             "program, a modem or synchronization tool) and try again.";
    default:
      return {};
  }
}

std::unique_ptr<DevicePort> MakeSerialPort(const std::string&) {
  return std::make_unique<WinSerialPort>();
}

WinSerialPort::~WinSerialPort() { Close(); }

bool WinSerialPort::Open(const link::PortSettings& settings) {
  Close();
  port_number_ = settings.port_number;
  device_ = fixed_device_.empty() ? WinPortPath(settings.port_number) : WinPortPath(fixed_device_);
  shown_ = device_.rfind("\\\\.\\", 0) == 0 ? device_.substr(4) : device_;
  open_error_ = ERROR_FILE_NOT_FOUND;
  if (device_.empty()) return false;
  // Not every layer under this API refuses a second opener of a device
  // (Wine does not): a named object per port makes any second Tavo see it.
  const std::string claim = "Local\\tavo-port-" + Upper(device_.substr(device_.rfind('\\') + 1));
  HANDLE mutex = CreateMutexA(nullptr, FALSE, claim.c_str());
  if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
    if (mutex != nullptr) CloseHandle(mutex);
    open_error_ = ERROR_ACCESS_DENIED;
    return false;
  }
  // No sharing: a second program gets ERROR_ACCESS_DENIED.
  HANDLE handle = CreateFileA(device_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    open_error_ = GetLastError();
    CloseHandle(mutex);
    return false;
  }
  if (!Configure(handle, settings)) {
    open_error_ = GetLastError();
    CloseHandle(handle);
    CloseHandle(mutex);
    return false;
  }
  handle_ = handle;
  claim_ = mutex;
  baud_ = settings.baud;
  open_error_ = 0;
  in_.clear();
  out_.clear();
  return true;
}

std::string WinSerialPort::ErrorText() const { return WinErrorText(open_error_); }

std::string WinSerialPort::OpenFailureText() const { return WinPortAdvice(open_error_); }

std::string WinSerialPort::InUseText() const {
  if (open_error_ != ERROR_ACCESS_DENIED && open_error_ != ERROR_SHARING_VIOLATION) return {};
  // Windows does not say which program holds a port.
  return shown_ + " is in use by another program";
}

void WinSerialPort::Close() {
  if (handle_ == nullptr) return;
  CloseHandle(Handle(handle_));
  CloseHandle(Handle(claim_));
  handle_ = nullptr;
  claim_ = nullptr;
  in_.clear();
  out_.clear();
}

void WinSerialPort::Lose() {
  // A failed read or write: the device went away (a pulled adapter, a hung-up
  // line). Closing makes every later wait end at once.
  Close();
}

void WinSerialPort::Drain() {
  if (handle_ == nullptr) return;
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(Handle(handle_), &errors, &status)) return Lose();
  if (status.cbInQue == 0) return;
  std::string piece(status.cbInQue, '\0');
  DWORD got = 0;
  // Characters are there, so this read does not wait.
  if (!ReadFile(Handle(handle_), piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr)) {
    return Lose();
  }
  in_.append(piece.data(), got);
}

bool WinSerialPort::ReadSlice() {
  // One character is asked for: not every implementation of the API ends a
  // read at the first character when more were asked (Wine waits out the
  // slice), so the rest comes by Drain once the first is here.
  char first = 0;
  DWORD got = 0;
  if (!ReadFile(Handle(handle_), &first, 1, &got, nullptr)) {
    Lose();
    return false;
  }
  if (got == 0) return false;
  in_ += first;
  Drain();
  return true;
}

std::size_t WinSerialPort::BytesWaiting() {
  Drain();
  return in_.size();
}

std::string WinSerialPort::Read(std::size_t max_bytes) {
  Drain();
  const std::size_t count = std::min(max_bytes, in_.size());
  std::string taken = in_.substr(0, count);
  in_.erase(0, count);
  return taken;
}

void WinSerialPort::Write(const std::string& bytes) {
  if (handle_ == nullptr) return;
  out_ += bytes;
  SendSlice();
}

void WinSerialPort::SendSlice() {
  if (handle_ == nullptr || out_.empty()) return;
  DWORD sent = 0;
  if (!WriteFile(Handle(handle_), out_.data(), static_cast<DWORD>(out_.size()), &sent, nullptr) &&
      GetLastError() != ERROR_TIMEOUT) {
    return Lose();
  }
  out_.erase(0, sent);
}

// What the driver has not taken yet, as QSerialPort counts it: once handed
// over, bytes go out at the line's speed while the reply is awaited.
std::size_t WinSerialPort::BytesToSend() { return handle_ == nullptr ? 0 : out_.size(); }

bool WinSerialPort::WaitForInput(int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  // What the link has seen is in in_; anything the driver took in since is
  // new to it and ends the wait at once.
  const std::size_t seen = in_.size();
  Drain();
  if (in_.size() > seen) return true;
  while (handle_ != nullptr) {
    SendSlice();
    if (ReadSlice()) return true;
    if (Clock::now() >= deadline) return false;
  }
  return false;
}

bool WinSerialPort::WaitForBytes(std::size_t count, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  Drain();
  while (handle_ != nullptr && in_.size() < count) {
    if (Clock::now() >= deadline) return false;
    if (!in_.empty()) SleepThroughArrivals(count - in_.size(), baud_, deadline);
    if (!ReadSlice()) Drain();
  }
  return handle_ != nullptr;
}

bool WinSerialPort::WaitForOutput(int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  const std::size_t before = out_.size();
  // Each write blocks for at most a slice.
  while (handle_ != nullptr && !out_.empty()) {
    SendSlice();
    if (out_.size() < before) return true;
    if (Clock::now() >= deadline) return false;
  }
  return before == 0 || handle_ != nullptr;
}

}  // namespace tavo::platform
