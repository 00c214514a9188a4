#include "exefile.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace bench {

std::vector<unsigned char> readFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::vector<unsigned char> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

std::uint16_t peMachine(const std::vector<unsigned char>& bytes) {
    // "MZ", then at 0x3C the offset of "PE\0\0", which the machine field follows.
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return 0;
    std::uint32_t pe = 0;
    std::memcpy(&pe, &bytes[0x3C], sizeof pe);
    if (pe > bytes.size() || bytes.size() - pe < 6 || std::memcmp(&bytes[pe], "PE\0\0", 4) != 0) return 0;
    std::uint16_t machine = 0;
    std::memcpy(&machine, &bytes[pe + 4], sizeof machine);
    return machine;
}

const char* machineName(std::uint16_t machine) {
    switch (machine) {
        case kMachineI386:
            return "32-bit x86";
        case kMachineAmd64:
            return "x86-64";
    }
    return "unknown";
}

std::int64_t findBytes(const std::vector<unsigned char>& haystack, const std::vector<unsigned char>& needle) {
    if (needle.empty()) return -1;
    const auto at = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
    return at == haystack.end() ? -1 : at - haystack.begin();
}

ExeFile describeExe(const std::wstring& path, const std::vector<unsigned char>& artwork) {
    const std::vector<unsigned char> bytes = readFile(path);
    ExeFile exe;
    exe.exists = !bytes.empty();
    exe.size = bytes.size();
    exe.machine = peMachine(bytes);
    exe.holdsArtwork = findBytes(bytes, artwork) >= 0;
    return exe;
}

}  // namespace bench
