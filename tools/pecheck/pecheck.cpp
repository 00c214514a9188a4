// Reads the few fields of a Windows executable that signing and the reproducibility check need,
// so that the scripts can tell a signed launcher from a changed one without trusting any tool that
// rewrites the file. Built with the host g++ by the scripts that use it.
//
// Usage:
//   pecheck describe FILE
//     prints "bits 32|64", "machine i386|amd64|0xNNNN", "signed yes|no" and
//     "original-filename NAME" (empty when the version record names none), one a line;
//     exits 1 with the reason on stderr when FILE is no Windows program.
//   pecheck compare FILE BUILD
//     prints "same file", "same build, signed" or "not the same build: WHY"; exits 0 for the first
//     two, 1 for the third, 2 when BUILD cannot be read as a Windows program.
//
// A signed FILE is the same build when, after its certificate table (the bytes the security
// directory points at, which must end the file), it is BUILD byte for byte except for the header
// checksum and the security directory entry, the only other bytes that signing writes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::uint16_t kPe32 = 0x10b, kPe32Plus = 0x20b;
constexpr std::uint16_t kI386 = 0x14c, kAmd64 = 0x8664;
constexpr unsigned kResourceDir = 2, kSecurityDir = 4;

bool readFile(const char* path, Bytes& out) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    unsigned char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.insert(out.end(), chunk, chunk + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

std::uint32_t le(const Bytes& b, std::size_t at, int width) {
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
}

struct Pe {
    std::string error;  // empty when the headers were read
    std::uint16_t magic = 0, machine = 0;
    std::size_t checksumAt = 0, securityAt = 0;  // file offsets of those header fields
    std::uint32_t certOffset = 0, certSize = 0;
    std::uint64_t resourceOffset = 0, resourceSize = 0;  // in the file, 0 when there is none
};

// Maps an address in the loaded image to the file, through the section that holds it.
bool fileOffsetOf(const Bytes& b, std::size_t sections, unsigned count, std::uint32_t rva,
                  std::uint64_t& offset, std::uint64_t& room) {
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t s = sections + i * 40u;
        if (s + 40 > b.size()) return false;
        const std::uint32_t va = le(b, s + 12, 4), raw = le(b, s + 16, 4), at = le(b, s + 20, 4);
        if (rva >= va && rva - va < raw) {
            offset = std::uint64_t{at} + (rva - va);
            room = raw - (rva - va);
            return true;
        }
    }
    return false;
}

Pe parse(const Bytes& b) {
    Pe pe;
    if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') return pe.error = "it does not start with \"MZ\"", pe;
    const std::size_t nt = le(b, 0x3c, 4);
    if (nt + 24 > b.size() || std::memcmp(&b[nt], "PE\0\0", 4) != 0)
        return pe.error = "it has no PE header", pe;
    pe.machine = le(b, nt + 4, 2);
    const unsigned sectionCount = le(b, nt + 6, 2);
    const std::size_t optSize = le(b, nt + 20, 2), opt = nt + 24;
    if (opt + optSize > b.size() || optSize < 2) return pe.error = "its optional header is cut short", pe;
    pe.magic = le(b, opt, 2);
    std::size_t dirs, countAt;
    if (pe.magic == kPe32) dirs = opt + 96, countAt = opt + 92;
    else if (pe.magic == kPe32Plus) dirs = opt + 112, countAt = opt + 108;
    else return pe.error = "its optional header is of an unknown kind", pe;
    const std::uint32_t dirCount = le(b, countAt, 4);
    if (dirCount <= kSecurityDir || dirs + (kSecurityDir + 1) * 8 > opt + optSize)
        return pe.error = "its header has no security directory", pe;
    pe.checksumAt = opt + 64;
    pe.securityAt = dirs + kSecurityDir * 8;
    // Unlike every other directory, this one holds a file offset, not an address in the image.
    pe.certOffset = le(b, pe.securityAt, 4);
    pe.certSize = le(b, pe.securityAt + 4, 4);
    const std::uint32_t resourceRva = le(b, dirs + kResourceDir * 8, 4);
    const std::uint32_t resourceSize = le(b, dirs + kResourceDir * 8 + 4, 4);
    std::uint64_t offset, room;
    if (resourceRva && fileOffsetOf(b, opt + optSize, sectionCount, resourceRva, offset, room) &&
        offset < b.size()) {
        pe.resourceOffset = offset;
        pe.resourceSize = std::min<std::uint64_t>({resourceSize, room, b.size() - offset});
    }
    return pe;
}

// The version record's OriginalFilename: its key in UTF-16 with the terminating zero, followed
// by the value, which needs no padding since the key ends on a 4-byte boundary of its record.
std::string originalFilename(const Bytes& b, const Pe& pe) {
    constexpr char key[] = "OriginalFilename";
    Bytes pattern;
    for (const char c : key) pattern.insert(pattern.end(), {static_cast<unsigned char>(c), 0});
    const auto begin = b.begin() + pe.resourceOffset, end = begin + pe.resourceSize;
    auto hit = std::search(begin, end, pattern.begin(), pattern.end());
    if (hit == end) return {};
    std::string name;
    for (auto at = hit + pattern.size(); at + 1 < end && (at[0] || at[1]); at += 2)
        name += at[1] == 0 && at[0] >= 0x20 && at[0] < 0x7f ? static_cast<char>(at[0]) : '?';
    return name;
}

int describe(const char* path) {
    Bytes b;
    if (!readFile(path, b)) return std::fprintf(stderr, "cannot read %s\n", path), 1;
    const Pe pe = parse(b);
    if (!pe.error.empty()) return std::fprintf(stderr, "%s\n", pe.error.c_str()), 1;
    std::printf("bits %d\n", pe.magic == kPe32 ? 32 : 64);
    if (pe.machine == kI386) std::printf("machine i386\n");
    else if (pe.machine == kAmd64) std::printf("machine amd64\n");
    else std::printf("machine 0x%04x\n", pe.machine);
    std::printf("signed %s\n", pe.certSize ? "yes" : "no");
    std::printf("original-filename %s\n", originalFilename(b, pe).c_str());
    return 0;
}

std::string bytes(std::uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

int notSame(const std::string& why) {
    std::printf("not the same build: %s\n", why.c_str());
    return 1;
}

int compare(const char* path, const char* buildPath) {
    Bytes file, build;
    if (!readFile(buildPath, build)) return std::fprintf(stderr, "cannot read %s\n", buildPath), 2;
    const Pe ref = parse(build);
    if (!ref.error.empty()) return std::fprintf(stderr, "%s: %s\n", buildPath, ref.error.c_str()), 2;
    if (!readFile(path, file)) return std::fprintf(stderr, "cannot read %s\n", path), 2;
    if (file == build) return std::printf("same file\n"), 0;

    const Pe pe = parse(file);
    if (!pe.error.empty()) return notSame(pe.error.c_str());
    if (pe.certSize == 0) return notSame("it is not signed, and its bytes are not the build's");
    const std::uint64_t end = std::uint64_t{pe.certOffset} + pe.certSize;
    if (end > file.size()) return notSame("its certificate table runs past the end of the file");
    if (end < file.size()) return notSame("the file goes on for " + bytes(file.size() - end) + " after its certificate table");
    if (pe.certOffset != build.size())
        return notSame("its certificate table starts after " + bytes(pe.certOffset) + ", where the build has " +
                       bytes(build.size()));

    std::size_t differing = 0, first = 0;
    for (std::size_t i = 0; i < build.size(); ++i) {
        const bool signingWrites = (i >= ref.checksumAt && i < ref.checksumAt + 4) ||
                                   (i >= ref.securityAt && i < ref.securityAt + 8);
        if (!signingWrites && file[i] != build[i] && differing++ == 0) first = i;
    }
    if (differing) {
        char where[32];
        std::snprintf(where, sizeof where, "0x%zx", first);
        return notSame("it differs from the build in " + bytes(differing) + " outside the signature, the first at offset " + where);
    }
    return std::printf("same build, signed\n"), 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "describe") == 0) return describe(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "compare") == 0) return compare(argv[2], argv[3]);
    std::fprintf(stderr, "usage: pecheck describe FILE | pecheck compare FILE BUILD\n");
    return 2;
}
