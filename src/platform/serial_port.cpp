#include "platform/serial_port.h"

#include <QFile>
#include <QSerialPort>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include <sys/ioctl.h>
#include <termios.h>
#endif

#include "platform/port_device.h"
#include "platform/port_diagnosis.h"

namespace tavo::platform {

QtSerialPort::QtSerialPort(std::string start_directory)
    : start_directory_(std::move(start_directory)), port_(std::make_unique<QSerialPort>()) {}

QtSerialPort::~QtSerialPort() = default;

std::unique_ptr<DevicePort> MakeSerialPort(const std::string& start_directory) {
  return std::make_unique<QtSerialPort>(start_directory);
}

namespace {

// Qt folds EACCES and EBUSY (a device another program opened exclusively)
// into one PermissionError; the device's own permissions tell them apart.
int ErrorNumber(const QSerialPort& port, const std::string& device) {
  switch (port.error()) {
    case QSerialPort::NoError:
      return 0;
    case QSerialPort::DeviceNotFoundError:
      return ENOENT;
    case QSerialPort::PermissionError: {
      const int seen = AccessError(device);
      return seen != 0 ? seen : EBUSY;
    }
    case QSerialPort::OpenError:
      return EBUSY;
    default:
      return EIO;
  }
}

// Qt names its lock file after the path it opens ("/dev/pts/3" gives
// LCK..pts_3), and takes any such file without its own program line for
// stale: it removed a live minicom's LCK..ttyUSB0 and opened the device. Given
// "/dev//ttyUSB0" its file is LCK.._ttyUSB0, a name no other program uses, so
// it never touches theirs; DeviceLock is what keeps two programs apart.
QString QtPortName(const std::string& device) {
  std::string name = device;
  if (name.rfind("/dev/", 0) == 0) name.insert(5, "/");
  return QFile::decodeName(QByteArray::fromStdString(name));
}

}  // namespace

std::string QtSerialPort::OpenFailureText() const {
  if (in_use_) return InUseText() + ".\nClose it, or choose another port.";
  return DescribePortFailure(DiagnosePort(port_number_, start_directory_, open_error_));
}

std::string QtSerialPort::InUseText() const {
  if (!in_use_) return {};
  const std::string given =
      fixed_device_.empty() ? "COM" + std::to_string(port_number_) : fixed_device_;
  return (given == device_ ? device_ : given + " (" + device_ + ")") + " is in use by " +
         (lock_.holder().empty() ? std::string("another program") : lock_.holder());
}

bool QtSerialPort::TakeLock() {
  switch (lock_.Take(device_)) {
    case DeviceLock::Taken::kYes:
      return true;
    case DeviceLock::Taken::kInUse:
      in_use_ = true;
      break;
    case DeviceLock::Taken::kCannotOpen:
      lock_failure_ = std::generic_category().message(lock_.error());
      break;
  }
  open_error_ = lock_.error();
  return false;
}

bool QtSerialPort::Open(const link::PortSettings& settings) {
  if (port_->isOpen()) port_->close();
  lock_.Release();
  port_number_ = settings.port_number;
  device_ = ResolvedDevice(fixed_device_.empty()
                               ? SerialDeviceName(settings.port_number, start_directory_)
                               : fixed_device_);
  open_error_ = ENODEV;
  in_use_ = false;
  lock_failure_.clear();
  if (device_.empty()) return false;
  if (!TakeLock()) return false;
  port_->setPortName(QtPortName(device_));
  baud_ = settings.baud;
  port_->setBaudRate(settings.baud);
  port_->setDataBits(QSerialPort::Data8);
  port_->setParity(QSerialPort::NoParity);
  port_->setStopBits(QSerialPort::OneStop);
  port_->setFlowControl(QSerialPort::NoFlowControl);
  port_->setReadBufferSize(static_cast<qint64>(settings.input_buffer));
  port_->clearError();
  if (!port_->open(QIODevice::ReadWrite)) {
    open_error_ = ErrorNumber(*port_, device_);
    lock_.Release();
    return false;
  }
#ifndef _WIN32
  // No other opening of the tty, by any path (root is held by the lock alone).
  ::ioctl(static_cast<int>(port_->handle()), TIOCEXCL);
#endif
  open_error_ = 0;
  port_->clearError();
  return true;
}

std::string QtSerialPort::ErrorText() const {
  if (device_.empty()) return "no such port";
  if (in_use_) return InUseText();
  if (!lock_failure_.empty()) return lock_failure_;
  return port_->errorString().toStdString();
}

void QtSerialPort::Close() {
  if (port_->isOpen()) port_->close();
  lock_.Release();
}

namespace {

// A device that went away: besides ResourceError, a hung-up terminal line
// (a pulled USB adapter, a closed pseudo-terminal) reports ReadError or
// WriteError, and from then on every wait returns at once.
bool DeviceLost(const QSerialPort& port) {
  const QSerialPort::SerialPortError error = port.error();
  return error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
         error == QSerialPort::WriteError;
}

}  // namespace

bool QtSerialPort::IsOpen() const {
  CloseIfLost();
  return port_->isOpen();
}

void QtSerialPort::CloseIfLost() const {
  if (port_->isOpen() && DeviceLost(*port_)) {
    port_->close();
    lock_.Release();
  }
}

std::size_t QtSerialPort::BytesWaiting() {
  CloseIfLost();
  if (!port_->isOpen()) return 0;
  return static_cast<std::size_t>(port_->bytesAvailable());
}

std::string QtSerialPort::Read(std::size_t max_bytes) {
  if (!port_->isOpen() || max_bytes == 0) return {};
  // QIODevice::read sizes its buffer by the request, so ask for no more than
  // is there: a request for "everything" would try to allocate it.
  const auto waiting = static_cast<std::size_t>(std::max<qint64>(0, port_->bytesAvailable()));
  const std::size_t count = std::min(max_bytes, waiting);
  if (count == 0) return {};
  return port_->read(static_cast<qint64>(count)).toStdString();
}

void QtSerialPort::Write(const std::string& bytes) {
  CloseIfLost();
  if (!port_->isOpen()) return;
  port_->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::size_t QtSerialPort::BytesToSend() {
  CloseIfLost();
  if (!port_->isOpen()) return 0;
  return static_cast<std::size_t>(port_->bytesToWrite());
}

bool QtSerialPort::WaitForInput(int timeout_ms) {
  if (!port_->isOpen()) return false;
  const bool arrived = port_->waitForReadyRead(timeout_ms);
  CloseIfLost();
  return arrived;
}

bool QtSerialPort::WaitForOutput(int timeout_ms) {
  if (!port_->isOpen()) return false;
  const bool written = port_->waitForBytesWritten(timeout_ms);
  CloseIfLost();
  return written;
}

bool QtSerialPort::WaitForBytes(std::size_t count, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  auto waiting = [&] { return static_cast<std::size_t>(port_->bytesAvailable()); };
  while (port_->isOpen() && waiting() < count) {
    const auto now = Clock::now();
    if (now >= deadline) return false;
    if (waiting() > 0) SleepThroughArrivals(count - waiting(), baud_, deadline);
    // Takes in what has come meanwhile, or waits for the next arrival.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    port_->waitForReadyRead(static_cast<int>(std::max<std::int64_t>(0, left.count())));
    CloseIfLost();
  }
  return port_->isOpen();
}

}  // namespace tavo::platform
