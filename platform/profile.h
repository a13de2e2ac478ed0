#pragma once

#include <string>
#include <vector>

// Initialisation-file reading with the semantics of the system's private-profile functions. Each call
// opens and reads the file; nothing is cached. A missing file, section or key gives the default.
namespace platform {

// The value of key in section, trimmed, without one pair of enclosing quotation marks, cut to
// bufferSize - 1 bytes. Section and key names match without regard to case.
std::string GetProfileString(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& defaultValue, size_t bufferSize);

// The value read as a decimal integer; a negative number reads as 0, a value that is no number as 0.
int GetProfileInt(const std::string& file, const std::string& section, const std::string& key,
                  int defaultValue);

// The lines of a whole section (blank and ";" comment lines left out), each trimmed, as many whole lines
// as fit into byteLimit bytes when every line is stored with a terminating zero and one more zero ends
// the list.
std::vector<std::string> GetProfileSection(const std::string& file, const std::string& section,
                                           size_t byteLimit);

}  // namespace platform
