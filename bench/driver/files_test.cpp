// What the driver reads from files: the machine an executable was built for, whether the artwork
// lies in it, and the artwork's pixels, which decide when the launcher's window counts as painted.
#include <gtest/gtest.h>

#include <cstring>

#include "exefile.h"
#include "screen.h"

using namespace bench;

namespace {

using Bytes = std::vector<unsigned char>;

// The smallest bytes peMachine reads: "MZ", the offset of the PE header at 0x3C, the signature
// and the machine field.
Bytes peHeader(std::uint16_t machine, std::uint32_t peAt = 0x40) {
    Bytes bytes(peAt + 24, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    std::memcpy(&bytes[0x3C], &peAt, 4);
    std::memcpy(&bytes[peAt], "PE\0\0", 4);
    std::memcpy(&bytes[peAt + 4], &machine, 2);
    return bytes;
}

// A 24-bit bottom-up bitmap file of width x height whose pixel (x, y), top row first, is
// RGB(x * 10, y * 10, 7): rows padded to four bytes.
Bytes bitmapFile(int width, int height) {
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    Bytes file(54 + stride * static_cast<std::size_t>(height), 0);
    file[0] = 'B';
    file[1] = 'M';
    const std::uint32_t offset = 54, header = 40;
    const std::uint16_t planes = 1, bits = 24;
    std::memcpy(&file[10], &offset, 4);
    std::memcpy(&file[14], &header, 4);
    std::memcpy(&file[18], &width, 4);
    std::memcpy(&file[22], &height, 4);
    std::memcpy(&file[26], &planes, 2);
    std::memcpy(&file[28], &bits, 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* pixel = &file[54 + static_cast<std::size_t>(height - 1 - y) * stride + x * 3];
            pixel[0] = 7;
            pixel[1] = static_cast<unsigned char>(y * 10);
            pixel[2] = static_cast<unsigned char>(x * 10);
        }
    return file;
}

}  // namespace

TEST(PeMachine, ReadsTheMachineOfBothBuilds) {
    EXPECT_EQ(peMachine(peHeader(kMachineI386)), kMachineI386);
    EXPECT_EQ(peMachine(peHeader(kMachineAmd64, 0x80)), kMachineAmd64);
    EXPECT_STREQ(machineName(kMachineI386), "32-bit x86");
    EXPECT_STREQ(machineName(kMachineAmd64), "x86-64");
    EXPECT_STREQ(machineName(0x1234), "unknown");
}

TEST(PeMachine, RejectsWhatIsNoPeFile) {
    Bytes noMz = peHeader(kMachineI386);
    noMz[0] = 'X';
    EXPECT_EQ(peMachine(noMz), 0);
    Bytes noSignature = peHeader(kMachineI386);
    noSignature[0x41] = 'X';
    EXPECT_EQ(peMachine(noSignature), 0);
    Bytes truncated = peHeader(kMachineI386);
    truncated.resize(0x44);  // the header offset points at the end
    EXPECT_EQ(peMachine(truncated), 0);
    Bytes farOffset = peHeader(kMachineI386);
    const std::uint32_t beyond = 0x7FFFFFFF;
    std::memcpy(&farOffset[0x3C], &beyond, 4);
    EXPECT_EQ(peMachine(farOffset), 0);
    EXPECT_EQ(peMachine({}), 0);
}

TEST(FindBytes, FindsTheFirstOccurrenceOrNone) {
    const Bytes haystack = {1, 2, 3, 1, 2, 3, 4};
    EXPECT_EQ(findBytes(haystack, {1, 2, 3}), 0);
    EXPECT_EQ(findBytes(haystack, {3, 4}), 5);
    EXPECT_EQ(findBytes(haystack, {4, 5}), -1) << "a needle running past the end";
    EXPECT_EQ(findBytes(haystack, {}), -1);
    EXPECT_EQ(findBytes({1}, {1, 1}), -1);
}

TEST(Bitmap, ReadsPixelsTopRowFirstAcrossRowPadding) {
    const Bitmap bitmap(bitmapFile(3, 2));  // 9 bytes a row, padded to 12
    ASSERT_TRUE(bitmap.valid());
    EXPECT_EQ(bitmap.width(), 3);
    EXPECT_EQ(bitmap.height(), 2);
    EXPECT_EQ(bitmap.at(0, 0), RGB(0, 0, 7));
    EXPECT_EQ(bitmap.at(2, 0), RGB(20, 0, 7));
    EXPECT_EQ(bitmap.at(1, 1), RGB(10, 10, 7));
}

TEST(Bitmap, CountsAColourOnlyInsideItself) {
    const Bitmap bitmap(bitmapFile(3, 2));
    EXPECT_EQ(bitmap.count({0, 0, 3, 2}, RGB(10, 10, 7)), 1);
    EXPECT_EQ(bitmap.count({-5, -5, 50, 50}, RGB(20, 0, 7)), 1);
    EXPECT_EQ(bitmap.count({2, 0, 3, 1}, RGB(10, 10, 7)), 0);
}

TEST(Bitmap, RefusesFilesItCannotRead) {
    Bytes short_ = bitmapFile(3, 2);
    short_.resize(short_.size() - 1);
    EXPECT_FALSE(Bitmap(short_).valid());
    Bytes paletted = bitmapFile(3, 2);
    paletted[28] = 8;
    EXPECT_FALSE(Bitmap(paletted).valid());
    EXPECT_FALSE(Bitmap({}).valid());
}
