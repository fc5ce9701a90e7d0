#pragma once
// Data and logs hold payment records, login keys and cashiers' passwords: they are private to
// the user who runs the program. Directories are made 0700 and files 0600 whatever the umask,
// and ones found wider (made by an earlier version or another umask) are narrowed.
#include <cstdio>
#include <string>

namespace tendrix::common {

// Creates dir and any missing parents; dir itself becomes 0700 (the parents keep their
// modes). False, with the reason in *error, when it cannot be created or narrowed.
bool MakePrivateDirectory(const std::string& dir, std::string* error = nullptr);

// Makes sure path exists as a 0600 file (created empty when missing, narrowed when wider),
// for files another library then opens (SQLite keeps the mode of an existing file and
// gives its journal the same). A symbolic link is left alone. False when it cannot.
bool MakePrivateFile(const std::string& path);

// fopen(path, "ab") with the file created 0600, or narrowed to it when found wider.
FILE* OpenPrivateForAppend(const std::string& path);

// Narrows everything under dir that is wider: files to owner-only (0644 -> 0600),
// directories to 0700. Symbolic links are not followed. Returns how many were changed.
int TightenDirectory(const std::string& dir);

// Start of the program: data and log directories created private, their contents narrowed.
void MakeDataAndLogPrivate(const std::string& data_dir, const std::string& log_dir);

}  // namespace tendrix::common
