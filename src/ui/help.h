#pragma once

#include <string>
#include <vector>

namespace tavo::ui {

inline constexpr const char* kLicenseDocument = "tavo_client.license.html";
inline constexpr const char* kReadmeDocument = "tavo_client.readme.html";
inline constexpr const char* kLimitationsDocument = "tavo_client.limitations.html";
inline constexpr const char* kHistoryDocument = "tavo_client.history.html";
inline constexpr const char* kVersionDocument = "tavo_client_version.html";

// The document `name` in the start directory when it is there, else the first
// installed copy found in `installed_dirs`, else the start directory's name
// anyway (opening a missing document shows nothing, as opening does).
// Directories end with the separator.
std::string ResolveDocument(const std::string& name, const std::string& start_directory,
                            const std::vector<std::string>& installed_dirs);

// Where an installed program keeps its documents, relative to the executable.
std::vector<std::string> InstalledDocumentDirs();

}  // namespace tavo::ui
