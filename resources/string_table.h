#pragma once

#include <span>
#include <string>

namespace resources {

struct StringEntry {
    unsigned Id;
    const char* Text;  // UTF-8
};

// The program's string table, sorted by identifier, each identifier once.
std::span<const StringEntry> StringTable();

// The text of string `id`; empty text when the table has no such entry.
std::string LoadString(unsigned id);

}  // namespace resources
