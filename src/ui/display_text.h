#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace tavo::ui {

// How raw bytes are shown: UTF-8 when they form valid UTF-8, else one
// character per byte (Latin-1). Control bytes show as visible symbols. The
// widgets keep the raw bytes beside the text; this is for display only.
QString DisplayText(const std::string& bytes);

QByteArray ToBytes(const std::string& bytes);
std::string FromBytes(const QByteArray& bytes);

}  // namespace tavo::ui
