#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Limits of the model file and the small conversions every reader of it shares.
namespace model {

// Text limits in characters; a value is read into a buffer one larger.
constexpr size_t kNpaNameChars = 69;
constexpr size_t kOemChars = 69;
constexpr size_t kListChars = 254;        // "Values" and "ValueIds" of a list, "Children"
constexpr size_t kShortValuesChars = 24;  // "Values" of the two-value and number kinds
constexpr size_t kSectionBytes = 32767;   // a whole section
constexpr size_t kMaxListValues = 20;
constexpr size_t kMaxChildren = 10;

// The items of a comma-separated list; empty items are dropped, blanks inside items are kept.
std::vector<std::string> SplitList(std::string_view text);

// A decimal identifier as the runtime's atoi reads it: leading blanks skipped, an optional sign, digits
// up to the first non-digit; 0 when the text begins with no number. Saturates instead of overflowing.
int ConvertId(std::string_view text);

// The caption of a string-table identifier; empty text for an identifier without an entry.
std::string Caption(int id);

}  // namespace model
