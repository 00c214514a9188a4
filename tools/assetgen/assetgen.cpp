// Generates the launcher's artwork.bmp and launcher.ico from code, so the binary resources in the
// repository can be rebuilt byte for byte. Each file is re-parsed and checked against the exact
// layout the launcher expects before it is written; any mismatch stops the run with a message.
//
// Usage: assetgen <artwork.bmp> <launcher.ico>
#include "assets.hpp"
#include "formats.hpp"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace assetgen;

constexpr std::size_t kArtFileBytes = 493016;
constexpr std::size_t kIconFileBytes = 4398;
const std::vector<IcoEntry> kIconLayout = {
    {16, 16, 0, 8, 1384, 54},
    {32, 32, 16, 4, 744, 1438},
    {32, 32, 0, 8, 2216, 2182},
};

bool report(const char* what, const std::vector<std::string>& faults) {
    for (const std::string& f : faults) std::fprintf(stderr, "assetgen: %s: %s\n", what, f.c_str());
    return faults.empty();
}

bool write(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <artwork.bmp> <launcher.ico>\n", argv[0]);
        return 2;
    }
    const Bytes bmp = encode_bmp24(render_artwork(), kArtTrailingBytes);
    std::vector<IconImage> images;
    for (const IcoEntry& e : kIconLayout) images.push_back(render_icon(e.width, e.bpp));
    const Bytes ico = encode_ico(images);

    bool ok = report("artwork.bmp", validate_bmp24(bmp, kArtWidth, kArtHeight, kArtTrailingBytes));
    if (bmp.size() != kArtFileBytes) ok = report("artwork.bmp", {"size " + std::to_string(bmp.size())});
    ok = report("launcher.ico", validate_ico(ico, kIconLayout)) && ok;
    if (ico.size() != kIconFileBytes) ok = report("launcher.ico", {"size " + std::to_string(ico.size())});
    if (!ok) {
        std::fprintf(stderr, "assetgen: FAILED, nothing written\n");
        return 1;
    }
    if (!write(argv[1], bmp) || !write(argv[2], ico)) return 1;
    std::printf("assetgen: wrote %s (%zu bytes) and %s (%zu bytes)\n", argv[1], bmp.size(), argv[2], ico.size());
    return 0;
}
