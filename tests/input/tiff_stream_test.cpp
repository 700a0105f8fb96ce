// Values, headers and directory entries in either byte order.
#include <gtest/gtest.h>

#include <vector>

#include "input/image_file.h"
#include "input/tiff_stream.h"
#include "support/run_capture.h"

namespace {

// The bytes as an image file, removed at the end of the scope.
struct ByteFile {
    explicit ByteFile(const std::vector<uint8_t>& bytes)
    {
        dir.put("bytes", bytes);
        file.open(dir.path() + "/bytes");
    }
    // A stream over the file in the given byte order, at offset 0.
    TiffStream stream(bool big = true) const
    {
        TiffStream s;
        s.file = &file;
        s.big_endian = big;
        return s;
    }
    ScratchDir dir;
    ImageFile file;
};

// A directory of the given entries in either order.
std::vector<uint8_t> directory(bool big, const std::vector<IfdEntry>& entries, uint16_t declared_count)
{
    std::vector<uint8_t> bytes;
    const auto put = [&](uint32_t v, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> 8 * (big ? size - 1 - i : i)));
    };
    put(declared_count, 2);
    for (const IfdEntry& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(e.count, 4);
        put(e.value, 4);
    }
    return bytes;
}

std::vector<IfdEntry> numbered_entries(int n)
{
    std::vector<IfdEntry> entries;
    for (int i = 0; i < n; ++i)
        entries.push_back({static_cast<uint16_t>(1000 + i), 4, 1, static_cast<uint32_t>(i)});
    return entries;
}

TEST(TiffStream, ReadsValuesInEitherByteOrderAndZerosPastTheEnd)
{
    ByteFile f({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC});
    TiffStream big = f.stream(true), little = f.stream(false);
    EXPECT_EQ(read_u16(big), 0x1234);
    EXPECT_EQ(read_u32(big), 0x56789ABCu);
    EXPECT_EQ(read_u16(little), 0x3412);
    EXPECT_EQ(read_u32(little), 0xBC9A7856u);

    // Short reads: the bytes there keep their place, the missing ones are zero.
    ByteFile one({0xAB});
    TiffStream s = one.stream(true);
    EXPECT_EQ(read_u16(s), 0xAB00);
    s = one.stream(false);
    EXPECT_EQ(read_u16(s), 0x00AB);
    s = one.stream(true);
    EXPECT_EQ(read_u32(s), 0xAB000000u);
    s = one.stream(false);
    EXPECT_EQ(read_u32(s), 0x000000ABu);
    EXPECT_EQ(read_u16(s), 0u);  // nothing left

    seek_to(big, 1000);
    EXPECT_EQ(read_u16(big), 0u);
    seek_to(big, UINT64_MAX - 1);
    EXPECT_EQ(read_u16(big), 0u);
    seek_to(big, 1);
    EXPECT_EQ(read_u16(big), 0x3456u);
}

TEST(TiffStream, HeaderSetsByteOrderAndReportsEachFailure)
{
    TiffStream stream;
    uint32_t offset = 0;
    const auto header = [&](const std::vector<uint8_t>& bytes) {
        ByteFile f(bytes);
        stream.file = &f.file;
        stream.position = 0;
        return read_tiff_header(stream, offset);
    };
    EXPECT_EQ(header({'I', 'I', 42, 0, 0x10, 0x20, 0, 0}), HeaderCheck::ok);
    EXPECT_FALSE(stream.big_endian);
    EXPECT_EQ(offset, 0x2010u);
    EXPECT_EQ(header({'M', 'M', 0, 42, 0, 0, 0x10, 0x20}), HeaderCheck::ok);
    EXPECT_TRUE(stream.big_endian);
    EXPECT_EQ(offset, 0x1020u);
    EXPECT_EQ(header({'I', 'M', 42, 0}), HeaderCheck::bad_byte_order);
    EXPECT_TRUE(stream.big_endian);  // unchanged by a failed mark
    EXPECT_EQ(header({'I', 'I', 43, 0, 8, 0, 0, 0}), HeaderCheck::bad_magic);
    EXPECT_EQ(header({'I', 'I', 0, 42}), HeaderCheck::bad_magic);  // 42 in the wrong order reads as 10752
}

TEST(TiffStream, DirectoryOf200EntriesIsSearchedCompletelyAndOf201OrNoneNotAtAll)
{
    for (bool big : {true, false}) {
        ByteFile f(directory(big, numbered_entries(200), 200));
        TiffStream stream = f.stream(big);
        ASSERT_TRUE(find_ifd_entry(stream, 1199));
        EXPECT_EQ(stream.entry.value, 199u);
        EXPECT_EQ(stream.entry.type, 4);
        EXPECT_FALSE(find_ifd_entry(stream, 999));
        EXPECT_EQ(stream.entry.tag, 1199);  // the last entry read stays
    }
    for (uint16_t declared : {uint16_t{201}, uint16_t{0}, uint16_t{65535}}) {
        ByteFile f(directory(true, numbered_entries(201), declared));
        TiffStream stream = f.stream();
        stream.entry = {1, 2, 3, 4};
        EXPECT_FALSE(find_ifd_entry(stream, 1000)) << declared;
        EXPECT_EQ(stream.entry.tag, 1) << "entry untouched";
    }
}

TEST(TiffStream, FirstOfDuplicateTagsWinsSearchStartsAtTheDirectoryAndACutEntryReadsZeros)
{
    std::vector<uint8_t> bytes(6, 0xEE);  // directory at offset 6
    const auto dir = directory(false, {{5, 3, 1, 11}, {7, 4, 1, 22}, {7, 4, 1, 33}}, 3);
    bytes.insert(bytes.end(), dir.begin(), dir.end());
    ByteFile f(bytes);
    TiffStream stream = f.stream(false);
    stream.directory_offset = 6;
    ASSERT_TRUE(find_ifd_entry(stream, 7));
    EXPECT_EQ(stream.entry.value, 22u);
    EXPECT_EQ(stream.position, 6u + 2 + 24);  // just behind the entry
    // A directory cut short: the missing bytes read as zeros, a zero-filled entry has tag 0.
    auto cut_bytes = directory(true, numbered_entries(3), 3);
    cut_bytes.resize(2 + 12 + 6);  // second entry cut inside its count
    ByteFile cut(cut_bytes);
    TiffStream cut_stream = cut.stream();
    EXPECT_FALSE(find_ifd_entry(cut_stream, 1002));
    EXPECT_EQ(cut_stream.entry.tag, 0);
    EXPECT_TRUE(find_ifd_entry(cut_stream, 0));
}

}  // namespace
