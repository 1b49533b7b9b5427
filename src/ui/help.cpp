#include "ui/help.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavo::ui {
namespace {

bool IsFile(const std::string& path) {
  return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).isFile();
}

std::string WithSeparator(const QString& dir) {
  return QFile::encodeName(QDir::toNativeSeparators(QDir::cleanPath(dir) + "/")).toStdString();
}

}  // namespace

std::string ResolveDocument(const std::string& name, const std::string& start_directory,
                            const std::vector<std::string>& installed_dirs) {
  std::string local = start_directory + name;
  if (IsFile(local)) return local;
  for (const std::string& dir : installed_dirs) {
    if (IsFile(dir + name)) return dir + name;
  }
  return local;
}

std::vector<std::string> InstalledDocumentDirs() {
  const QString app_dir = QCoreApplication::applicationDirPath();
  if (app_dir.isEmpty()) return {};
  return {WithSeparator(app_dir), WithSeparator(app_dir + "/../share/doc/tavo")};
}

}  // namespace tavo::ui
