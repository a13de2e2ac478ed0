#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Helpers shared by the fuzz targets.
namespace fuzz {

// Ends the run as a crash, so libFuzzer keeps the input that broke an invariant.
[[noreturn]] void Fail(const char* condition, const char* file, int line);

// Keeps a result alive: a parser whose result goes unused is removed by the optimiser.
void Keep(size_t value);

// A private directory made on first use and removed with its files when the process exits.
const std::string& PrivateDir();

// Replaces the file at path with the bytes.
void WriteFile(const std::string& path, const uint8_t* data, size_t size);
void WriteFile(const std::string& path, const std::string& text);

}  // namespace fuzz

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : ::fuzz::Fail(#condition, __FILE__, __LINE__))
