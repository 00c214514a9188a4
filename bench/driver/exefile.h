// What the benchmark reports about an executable file: its size, the machine it was built for,
// and whether the artwork lies in it as plain data (so that the size beyond it can be given).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

std::vector<unsigned char> readFile(const std::wstring& path);

// The machine field of a PE file's header; 0 when the bytes are no PE file.
std::uint16_t peMachine(const std::vector<unsigned char>& bytes);

// "32-bit x86", "x86-64", or "unknown".
const char* machineName(std::uint16_t machine);

// Where `needle` first occurs in `haystack`; -1 when nowhere (or when the needle is empty).
std::int64_t findBytes(const std::vector<unsigned char>& haystack, const std::vector<unsigned char>& needle);

struct ExeFile {
    bool exists = false;
    std::uint64_t size = 0;
    std::uint16_t machine = 0;
    bool holdsArtwork = false;
};

ExeFile describeExe(const std::wstring& path, const std::vector<unsigned char>& artwork);

}  // namespace bench
