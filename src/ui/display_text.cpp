#include "ui/display_text.h"

#include <QStringDecoder>

namespace tavo::ui {

QString DisplayText(const std::string& bytes) {
  const QByteArray raw = ToBytes(bytes);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(raw);
  if (utf8.hasError()) text = QString::fromLatin1(raw);
  for (QChar& c : text) {
    const char16_t u = c.unicode();
    if (u < 0x20) {
      c = QChar(static_cast<char16_t>(0x2400 + u));  // Control Pictures block
    } else if (u == 0x7f) {
      c = QChar(static_cast<char16_t>(0x2421));
    }
  }
  return text;
}

QByteArray ToBytes(const std::string& bytes) {
  return {bytes.data(), static_cast<qsizetype>(bytes.size())};
}

std::string FromBytes(const QByteArray& bytes) {
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

}  // namespace tavo::ui
