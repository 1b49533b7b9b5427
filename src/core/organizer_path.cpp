#include "core/organizer_path.h"

namespace tavo::core {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::vector<std::string>> ParseOrganizerPath(const std::string& text) {
  std::vector<std::string> names;
  std::string name;
  const auto close = [&] {
    if (!name.empty()) names.push_back(name);
    name.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '/') {
      close();
      continue;
    }
    if (c != '\\') {
      name += c;
      continue;
    }
    if (i + 1 >= text.size()) return std::nullopt;
    const char next = text[++i];
    if (next == '/' || next == '\\') {
      name += next;
    } else if (next == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      name += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      return std::nullopt;
    }
  }
  close();
  return names;
}

std::string EscapeName(const std::string& name) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 32 || byte == 127) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    } else {
      out += c;
    }
  }
  return out;
}

std::string FormatOrganizerPath(const std::vector<std::string>& names) {
  if (names.empty()) return "/";
  std::string out;
  for (const std::string& name : names) out += "/" + EscapeName(name);
  return out;
}

}  // namespace tavo::core
