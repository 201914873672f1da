// Splitting paths and addresses into their last part or their directory.
#pragma once

#include <string>

// The text after the last backslash; without one, after the last slash;
// without one, after the last equals sign; otherwise the whole text. A
// backslash anywhere wins, even over a later slash.
std::string FileNameFromPath(const std::string& text);

// The directory of a path, with its trailing '/' (for "/tmp/x/file.prc":
// "/tmp/x/"); empty when the path has no directory part.
std::string DirectoryOfPath(const std::string& path);
