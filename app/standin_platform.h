#pragma once
// Used only while src/platform has not yet got its adapters: the smallest
// working serial port, clock, computer files and desktop helpers. The build
// picks the real ones as soon as they exist.

#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSerialPort>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "commands/computer_files.h"
#include "link/port.h"
#include "settings/config.h"

namespace tavo::standin {

namespace fs = std::filesystem;

class QtSerialPort : public link::Port {
 public:
  explicit QtSerialPort(std::string start_dir) : start_dir_(std::move(start_dir)) {}
  bool Open(const link::PortSettings& s) override {
    const std::string link_name = start_dir_ + "com" + std::to_string(s.port_number);
    std::error_code error;
    const std::string device =
        fs::exists(link_name, error) ? link_name : "/dev/ttyS" + std::to_string(s.port_number - 1);
    port_.setPortName(QFile::decodeName(QByteArray::fromStdString(device)));
    port_.setReadBufferSize(static_cast<qint64>(s.input_buffer));
    if (!port_.open(QIODevice::ReadWrite)) return false;
    port_.setBaudRate(s.baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    return true;
  }
  void Close() override { port_.close(); }
  bool IsOpen() const override { return port_.isOpen(); }
  std::size_t BytesWaiting() override { return static_cast<std::size_t>(port_.bytesAvailable()); }
  std::string Read(std::size_t max) override {
    return port_.read(static_cast<qint64>(max)).toStdString();
  }
  void Write(const std::string& bytes) override {
    port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
  std::size_t BytesToSend() override { return static_cast<std::size_t>(port_.bytesToWrite()); }
  bool WaitForInput(int ms) override { return port_.waitForReadyRead(ms); }
  bool WaitForOutput(int ms) override { return port_.waitForBytesWritten(ms); }

 private:
  std::string start_dir_;
  QSerialPort port_;
};

class SteadyClock : public link::Clock {
 public:
  double Now() override {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

// Drive "c" is the file system root, "h" the home directory.
class NativeComputerFiles : public commands::ComputerFiles {
 public:
  std::vector<std::string> Drives() override { return {"c: /", "h: " + Home()}; }
  int CurrentDrive() override { return 1; }
  std::optional<commands::DirectoryListing> List(const std::string& path) override {
    std::error_code error;
    fs::directory_iterator it(Native(path), error);
    if (error) return std::nullopt;
    commands::DirectoryListing listing;
    listing.has_parent = path.size() > 3;
    for (const fs::directory_entry& entry : it) {
      const std::string name = entry.path().filename().string();
      if (name.empty() || name[0] == '.' || name[0] == '<' ||
          name.find('\\') != std::string::npos) {
        continue;
      }
      if (entry.is_directory(error)) {
        listing.directories.push_back(name);
      } else if (entry.is_regular_file(error)) {
        listing.files.push_back({name, static_cast<std::int64_t>(entry.file_size(error))});
      }
    }
    return listing;
  }
  bool OrdinaryFileExists(const std::string& path) override {
    std::error_code error;
    return fs::is_regular_file(Native(path), error);
  }
  std::optional<std::int64_t> FileSize(const std::string& path) override {
    std::error_code error;
    const auto size = fs::file_size(Native(path), error);
    if (error) return std::nullopt;
    return static_cast<std::int64_t>(size);
  }
  std::unique_ptr<commands::InputFile> OpenRead(const std::string& path) override {
    auto in = std::make_unique<Input>(Native(path));
    if (!in->stream) return nullptr;
    return in;
  }
  std::unique_ptr<commands::OutputFile> CreateReplacing(const std::string& path) override {
    auto out = std::make_unique<Output>(Native(path));
    if (!out->stream) return nullptr;
    return out;
  }
  bool MakeDirectory(const std::string& path) override {
    std::error_code error;
    fs::create_directory(Native(path), error);
    return fs::is_directory(Native(path), error);
  }
  bool IsStorableName(const std::string& name) override {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\\\0", 3)) == std::string::npos && name[0] != '<';
  }

 private:
  struct Input : commands::InputFile {
    explicit Input(const std::string& p) : stream(p, std::ios::binary) {}
    std::optional<std::string> Read(std::size_t max) override {
      std::string buffer(max, '\0');
      stream.read(buffer.data(), static_cast<std::streamsize>(max));
      if (stream.bad()) return std::nullopt;
      buffer.resize(static_cast<std::size_t>(stream.gcount()));
      return buffer;
    }
    std::ifstream stream;
  };
  struct Output : commands::OutputFile {
    explicit Output(std::string p)
        : target(std::move(p)), temp(target + ".tavo-part"), stream(temp, std::ios::binary) {}
    ~Output() override {
      if (!committed) {
        stream.close();
        std::error_code error;
        fs::remove(temp, error);
      }
    }
    bool Write(const std::string& bytes) override {
      stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      return static_cast<bool>(stream);
    }
    bool Commit() override {
      stream.close();
      std::error_code error;
      fs::rename(temp, target, error);
      committed = !error;
      return committed;
    }
    std::string target;
    std::string temp;
    std::ofstream stream;
    bool committed = false;
  };

  static std::string Home() {
    const char* home = std::getenv("HOME");
    return home != nullptr ? home : "/";
  }
  // "h:\docs\a.txt" -> "$HOME/docs/a.txt".
  static std::string Native(const std::string& path) {
    std::string root = !path.empty() && (path[0] == 'h' || path[0] == 'H') ? Home() : "/";
    std::string rest = path.size() > 2 ? path.substr(2) : "";
    for (char& c : rest) {
      if (c == '\\') c = '/';
    }
    if (!root.empty() && root.back() == '/') root.pop_back();
    return root + rest;
  }
};

inline settings::ScreenSize ScreenTwips() {
  settings::ScreenSize size;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const double dpi = screen->logicalDotsPerInchX();
    size.width_twips = screen->geometry().width() * 1440.0 / dpi;
    size.height_twips = screen->geometry().height() * 1440.0 / dpi;
  }
  return size;
}

inline bool OpenDocument(const std::string& path) {
  return QDesktopServices::openUrl(
      QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
}

}  // namespace tavo::standin
