// Values, headers and directory entries in either byte order.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "input/tiff_stream.h"

namespace {

// A read-only stream over the bytes, closed at the end of the scope.
struct ByteFile {
    explicit ByteFile(const std::vector<uint8_t>& bytes)
    {
        file = std::tmpfile();
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::rewind(file);
    }
    ~ByteFile() { std::fclose(file); }
    std::FILE* file;
};

// A directory of the given entries (tag, type, count, value) in either order.
std::vector<uint8_t> directory(bool big, const std::vector<IfdEntry>& entries, uint16_t declared_count)
{
    std::vector<uint8_t> bytes;
    auto put16 = [&](uint16_t v) {
        if (big) {
            bytes.push_back(static_cast<uint8_t>(v >> 8));
            bytes.push_back(static_cast<uint8_t>(v));
        } else {
            bytes.push_back(static_cast<uint8_t>(v));
            bytes.push_back(static_cast<uint8_t>(v >> 8));
        }
    };
    auto put32 = [&](uint32_t v) {
        if (big) {
            put16(static_cast<uint16_t>(v >> 16));
            put16(static_cast<uint16_t>(v));
        } else {
            put16(static_cast<uint16_t>(v));
            put16(static_cast<uint16_t>(v >> 16));
        }
    };
    put16(declared_count);
    for (const IfdEntry& e : entries) {
        put16(e.tag);
        put16(e.type);
        put32(e.count);
        put32(e.value);
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

TEST(TiffStream, ReadsValuesInEitherByteOrder)
{
    ByteFile f({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC});
    TiffStream big;
    EXPECT_EQ(read_u16(big, f.file), 0x1234);
    EXPECT_EQ(read_u32(big, f.file), 0x56789ABCu);
    std::rewind(f.file);
    TiffStream little;
    little.big_endian = false;
    EXPECT_EQ(read_u16(little, f.file), 0x3412);
    EXPECT_EQ(read_u32(little, f.file), 0xBC9A7856u);
}

TEST(TiffStream, ShortReadFillsMissingBytesWithZero)
{
    ByteFile f({0xAB});
    TiffStream big;
    EXPECT_EQ(read_u16(big, f.file), 0xAB00);  // the byte there is the high byte
    std::rewind(f.file);
    TiffStream little;
    little.big_endian = false;
    EXPECT_EQ(read_u16(little, f.file), 0x00AB);
    std::rewind(f.file);
    EXPECT_EQ(read_u32(big, f.file), 0xAB000000u);
    EXPECT_EQ(read_u16(big, f.file), 0u);  // nothing left
}

TEST(TiffStream, HeaderSetsByteOrderAndReportsEachFailure)
{
    TiffStream stream;
    uint32_t offset = 0;
    ByteFile ii({'I', 'I', 42, 0, 0x10, 0x20, 0, 0});
    EXPECT_EQ(read_tiff_header(stream, ii.file, offset), HeaderResult::ok);
    EXPECT_FALSE(stream.big_endian);
    EXPECT_EQ(offset, 0x2010u);

    ByteFile mm({'M', 'M', 0, 42, 0, 0, 0x10, 0x20});
    EXPECT_EQ(read_tiff_header(stream, mm.file, offset), HeaderResult::ok);
    EXPECT_TRUE(stream.big_endian);
    EXPECT_EQ(offset, 0x1020u);

    ByteFile bad_mark({'I', 'M', 42, 0});
    EXPECT_EQ(read_tiff_header(stream, bad_mark.file, offset), HeaderResult::bad_byte_order);
    EXPECT_TRUE(stream.big_endian);  // unchanged by a failed mark

    ByteFile bad_magic({'I', 'I', 43, 0, 8, 0, 0, 0});
    EXPECT_EQ(read_tiff_header(stream, bad_magic.file, offset), HeaderResult::bad_magic);

    ByteFile big_order_magic({'I', 'I', 0, 42});  // 42 in the wrong order reads as 10752
    EXPECT_EQ(read_tiff_header(stream, big_order_magic.file, offset), HeaderResult::bad_magic);
}

TEST(TiffStream, DirectoryOf200EntriesIsSearchedCompletely)
{
    for (bool big : {true, false}) {
        ByteFile f(directory(big, numbered_entries(200), 200));
        TiffStream stream;
        stream.big_endian = big;
        ASSERT_TRUE(find_ifd_entry(stream, f.file, 1199));
        EXPECT_EQ(stream.entry.value, 199u);
        EXPECT_EQ(stream.entry.type, 4);
        EXPECT_FALSE(find_ifd_entry(stream, f.file, 999));
        EXPECT_EQ(stream.entry.tag, 1199);  // the last entry read stays
    }
}

TEST(TiffStream, DirectoryOf201OrNoEntriesHoldsNothing)
{
    for (uint16_t declared : {uint16_t{201}, uint16_t{0}, uint16_t{65535}}) {
        ByteFile f(directory(true, numbered_entries(201), declared));
        TiffStream stream;
        stream.entry = {1, 2, 3, 4};
        EXPECT_FALSE(find_ifd_entry(stream, f.file, 1000)) << declared;
        EXPECT_EQ(stream.entry.tag, 1) << "entry untouched";
    }
}

TEST(TiffStream, FirstOfDuplicateTagsWinsAndSearchStartsAtTheDirectory)
{
    std::vector<uint8_t> bytes(6, 0xEE);  // directory at offset 6
    const auto dir = directory(false, {{5, 3, 1, 11}, {7, 4, 1, 22}, {7, 4, 1, 33}}, 3);
    bytes.insert(bytes.end(), dir.begin(), dir.end());
    ByteFile f(bytes);
    TiffStream stream;
    stream.big_endian = false;
    stream.directory_offset = 6;
    ASSERT_TRUE(find_ifd_entry(stream, f.file, 7));
    EXPECT_EQ(stream.entry.value, 22u);
    EXPECT_EQ(std::ftell(f.file), 6 + 2 + 24);  // just behind the entry
}

TEST(TiffStream, DirectoryCutShortReadsZeros)
{
    auto bytes = directory(true, numbered_entries(3), 3);
    bytes.resize(2 + 12 + 6);  // second entry cut inside its count
    ByteFile f(bytes);
    TiffStream stream;
    EXPECT_FALSE(find_ifd_entry(stream, f.file, 1002));
    EXPECT_EQ(stream.entry.tag, 0);
    EXPECT_TRUE(find_ifd_entry(stream, f.file, 0));  // a zero-filled entry has tag 0
}

TEST(TiffStream, ShortEntriesAreReadByTheirType)
{
    TiffStream big;
    EXPECT_EQ(entry_value_by_type(big, {256, 3, 1, 0x01230000}), 0x0123u);
    EXPECT_EQ(entry_value_by_type(big, {256, 4, 1, 0x01230000}), 0x01230000u);
    EXPECT_EQ(entry_value_by_type(big, {256, 3, 2, 0x01230000}), 0x01230000u);
    TiffStream little;
    little.big_endian = false;
    EXPECT_EQ(entry_value_by_type(little, {256, 3, 1, 0x45670123}), 0x0123u);
}

TEST(TiffStream, SeekPastTheEndReadsZeros)
{
    ByteFile f({1, 2, 3});
    TiffStream stream;
    seek_to(f.file, 1000);
    EXPECT_EQ(read_u16(stream, f.file), 0u);
    seek_to(f.file, UINT64_MAX);
    EXPECT_EQ(read_u32(stream, f.file), 0u);
    seek_to(f.file, 1);
    EXPECT_EQ(read_u16(stream, f.file), 0x0203u);
}

}  // namespace
