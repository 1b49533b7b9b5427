#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavo::core {

// Organizer paths as a person types them: "/Letters/to grandma.txt", names
// exactly as stored (bytes), levels split at "/". A name holding "/" writes
// it "\/", a backslash "\\", and any byte may be written "\xHH". A leading "/"
// is optional; empty levels ("//") are ignored.
// nullopt for a backslash that starts no escape.
std::optional<std::vector<std::string>> ParseOrganizerPath(const std::string& text);

// The path as ParseOrganizerPath reads it back: "/" + escaped names joined by
// "/"; "/" for the root. UTF-8 text is kept; control bytes and every byte
// that is not part of a printable UTF-8 character (the organizer's own
// characters 128 to 254) come out as \xHH, so a printed path is valid UTF-8
// and never moves a terminal's cursor.
std::string FormatOrganizerPath(const std::vector<std::string>& names);
// One name escaped the same way.
std::string EscapeName(const std::string& name);

}  // namespace tavo::core
