#include <QCryptographicHash>

#include "platform/sha256.h"

namespace tavo::platform {

struct Sha256::State {
  QCryptographicHash hash{QCryptographicHash::Sha256};
  bool finished = false;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {}
Sha256::~Sha256() = default;

void Sha256::Add(std::string_view bytes) {
  if (state_->finished) Reset();
  state_->hash.addData(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string Sha256::HexDigest() {
  state_->finished = true;
  return state_->hash.result().toHex().toStdString();
}

void Sha256::Reset() {
  state_->hash.reset();
  state_->finished = false;
}

}  // namespace tavo::platform
