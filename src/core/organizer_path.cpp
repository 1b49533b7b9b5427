#include "core/organizer_path.h"

namespace tavo::core {

namespace {

// The length of the UTF-8 character at `at`, or 0 where the bytes are not
// one (a stray byte, a cut-off, overlong or surrogate sequence) or spell a
// C1 control, which some terminals obey.
std::size_t PrintableUtf8(const std::string& s, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u;
  };
  const unsigned lead = byte(at);
  std::size_t length = 0;
  unsigned low = 0x80, high = 0xbf;  // the bounds of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
    if (lead == 0xc2) low = 0xa0;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xbf) return 0;
  }
  return length;
}

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
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte >= 32 && byte < 127) {
      out += c;
    } else if (const std::size_t length = byte > 127 ? PrintableUtf8(name, i) : 0; length > 0) {
      out.append(name, i, length);
      i += length - 1;
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
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
