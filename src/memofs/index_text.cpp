#include "memofs/index_text.h"

#include <limits>

#include "memofs/exchange_sort.h"

namespace tavo::memofs {

std::string ShownField(const std::string& field) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < field.size() && i < 12; ++i) {
    const auto c = static_cast<unsigned char>(field[i]);
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += field[i];
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xf];
    }
  }
  return field.size() > 12 ? out + "..." : out;
}

namespace {

constexpr char kBlank = ' ';
constexpr char kBlankInName = static_cast<char>(255);
constexpr int kFieldCount = 5;

// A number field by its leading digits; beyond 16 bits it saturates, so a
// damaged count can never wrap round into a plausible small or negative one.
std::int16_t FieldNumber(const std::string& field) {
  long value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<std::int16_t>::max()) {
      return std::numeric_limits<std::int16_t>::max();
    }
  }
  return static_cast<std::int16_t>(value);
}

// Digits only. A long run reads as its saturated value, which is how every
// reader finds the entry's memos, so it is no fault of its own.
bool PlainNumber(const std::string& field) {
  if (field.empty()) return false;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Why one whole entry is not as the writer makes it, or nothing.
std::string EntryFault(const std::string (&fields)[kFieldCount], std::size_t at) {
  for (int i = 1; i <= 3; ++i) {
    if (!PlainNumber(fields[i])) {
      return "bad number \"" + ShownField(fields[i]) + "\" in the entry at character " +
             std::to_string(at);
    }
  }
  if (fields[0] == "D" && (FieldNumber(fields[1]) != 0 || FieldNumber(fields[2]) != 0)) {
    return "directory entry at character " + std::to_string(at) + " has part numbers";
  }
  return {};
}

std::string Number(std::int16_t n) { return n < 0 ? std::to_string(n) : " " + std::to_string(n); }

void AppendEntry(std::string& text, const char* kind, const DirectoryEntry& e) {
  text += kind;
  text += Number(e.EntryLastPart);
  text += Number(e.EntryLastPartSize);
  text += Number(e.EntryNumber);
  text += kBlank;
  for (char c : e.EntryName) text += c == kBlank ? kBlankInName : c;
  text += kBlank;
}

}  // namespace

// Each entry is five fields, each closed by one blank; the reader starts an
// entry only while at least two characters remain, so a single closing
// character (such as a 0) after the last entry is ignored.
// A damaged text is read as far as it holds whole entries: an entry whose
// fifth field has no closing blank is dropped, together with anything after
// it. Empty fields are read (an empty name; an empty number reads as 0).
IndexReading ReadIndexText(const std::string& text) {
  IndexReading reading;
  const auto fault = [&](std::string why) {
    if (reading.fault.empty()) reading.fault = std::move(why);
  };
  if (text.size() > kMaxIndexText) {
    fault("index text of " + std::to_string(text.size()) + " characters, more than 1956");
  }
  std::size_t p = 0;
  while (p + 1 < text.size()) {
    const std::size_t at = p;
    std::string fields[kFieldCount];
    for (std::string& field : fields) {
      const std::size_t blank = text.find(kBlank, p);
      if (blank == std::string::npos) {
        fault("index text cut in the entry at character " + std::to_string(at));
        return reading;
      }
      field = text.substr(p, blank - p);
      p = blank + 1;
    }
    fault(EntryFault(fields, at));
    DirectoryEntry entry;
    entry.EntryType = fields[0] == "D" ? kTypeDirectory : kTypeFile;
    entry.EntryLastPart = FieldNumber(fields[1]);
    entry.EntryLastPartSize = FieldNumber(fields[2]);
    entry.EntryNumber = FieldNumber(fields[3]);
    entry.EntryName = std::move(fields[4]);
    for (char& c : entry.EntryName) {
      if (c == kBlankInName) c = kBlank;
    }
    reading.entries.push_back(std::move(entry));
  }
  // The one character ignored after the last entry is the closing 0 some
  // organizers return with the text; anything else there is a cut entry.
  if (p + 1 == text.size() && text[p] != '\0') fault("index text ends in a cut entry");
  return reading;
}

std::vector<DirectoryEntry> ParseIndexText(const std::string& text) {
  return ReadIndexText(text).entries;
}

bool ReadableFileEntry(const DirectoryEntry& entry) {
  return entry.EntryLastPart >= 0 && entry.EntryLastPartSize >= 0 &&
         entry.EntryLastPartSize <= static_cast<int>(kPartSize);
}

std::string BuildIndexText(const std::vector<DirectoryEntry>& table) {
  std::vector<DirectoryEntry> directories;
  std::vector<DirectoryEntry> files;
  for (std::size_t r = 1; r < table.size(); ++r) {
    (table[r].EntryType == kTypeDirectory ? directories : files).push_back(table[r]);
  }
  const auto key = [](const DirectoryEntry& e) { return UpperCase(e.EntryName); };
  ExchangeSortOrder(directories, key);
  ExchangeSortOrder(files, key);
  std::string text;
  for (const DirectoryEntry& e : directories) AppendEntry(text, "D", e);
  for (const DirectoryEntry& e : files) AppendEntry(text, "F", e);
  return text;
}

std::string BuildMemoHeader(const std::string& title) {
  std::string name = title.empty() ? std::string("noname") : title.substr(0, 20);
  name.resize(20, kBlank);
  std::string header = "MEMO";
  header += static_cast<char>(255);
  header += static_cast<char>(255);
  header += static_cast<char>(208);
  header += static_cast<char>(13);
  header += '\0';
  header += static_cast<char>(22);
  header += '\0';
  header += '\0';
  header += '\0';
  header += "20980101";
  header += '\0';
  header += name;
  header += '\0';
  return header;
}

std::string BuildMemoImage(const std::string& title, const std::string& body) {
  std::string image = BuildMemoHeader(title);
  image += body;
  image += '\0';
  return image;
}

}  // namespace tavo::memofs
