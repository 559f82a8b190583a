// Format identification on real archives (made at build time by the build
// machine's archivers, see tests/fixtures), on hand-made signatures of the
// formats no available archiver writes, and on executables with archives
// appended.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/identify.h"
#include "support/dialog_driver.h"
#include "support/scratch_folder.h"

namespace {

std::string fixture(const std::string& name) { return buildFolder() + "fixtures\\" + name; }

// `bytes` placed at `offset` of `prefix` padded with zeros.
std::string placeAt(std::string prefix, size_t offset, const std::string& bytes) {
    if (prefix.size() < offset) prefix.resize(offset, '\0');
    return prefix.substr(0, offset) + bytes;
}

class Identify : public ::testing::Test {
protected:
    // Writes `bytes` as `name` in the scratch folder, identifies it and checks
    // that the file was closed again (an exclusive open succeeds).
    ArchiveFormat identifyBytes(const std::string& name, const std::string& bytes) {
        std::string path = folder_ / name;
        EXPECT_TRUE(writeBytes(path, bytes));
        ArchiveFormat format = identifyFormat(path.c_str());
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << name << " left open";
        CloseHandle(h);
        DeleteFileA(path.c_str());
        return format;
    }
    ScratchFolder folder_{"identify"};
};

// A 21-byte window with the given bytes at the given offsets, zeros elsewhere.
std::string window(std::initializer_list<std::pair<size_t, std::string>> parts) {
    std::string w(32, '\0');
    for (const auto& part : parts) w.replace(part.first, part.second.size(), part.second);
    return w;
}

// The formats for which no archiver on the build machine writes archives:
// their signatures, as an archive starts.
struct HandMade {
    const char* name;
    std::string header;
    ArchiveFormat format;
};
const std::vector<HandMade>& handMade() {
    static const std::vector<HandMade> cases = {
        {"rar", window({{0, "Rar!\x1a\x07"}}), FMT_RAR},
        {"ace", window({{0, "\x12\x34\x31"}, {7, "**ACE**"}}), FMT_ACE},
        {"bza", window({{0, "\x10\x20"}, {4, "BZ2"}}), FMT_BZA},
        {"gza", window({{0, "\x10\x20\xff\xff" "GZI"}}), FMT_GZA},
        {"yz1", window({{0, "yz01"}, {4, "\x10\x20\x30\x40"}}), FMT_YZ1},
    };
    return cases;
}

}  // namespace

TEST(MatchSignature, RulesInOrder) {
    struct Case {
        const char* what;
        std::string bytes;
        ArchiveFormat expected;
    };
    std::vector<Case> cases = {
        {"lh5 level 0", window({{0, "\x22\x33-lh5-"}}), FMT_LZH},
        {"lh5 level 2", window({{0, "\x22\x33-lh5-"}, {19, "\x20\x02"}}), FMT_LZH},
        {"lh level 3 attribute", window({{0, "\x22\x33-lh5-"}, {19, "\x20\x03"}}), FORMAT_UNKNOWN},
        {"lz5 with digit", window({{0, "\x22" "5-lz5-"}}), FMT_LZH},
        {"lz5 without digit", window({{0, "\x22\x13-lz5-"}}), FORMAT_UNKNOWN},
        // Some rules end the test: what a later rule would take is not looked at.
        {"ace", window({{2, "ab"}, {7, "**ACE"}}), FMT_ACE},
        {"-l stops", window({{2, "-lx"}, {7, "**ACE"}}), FORMAT_UNKNOWN},
        {"1F stops", window({{0, "\x1f"}, {4, "BZ2"}}), FORMAT_UNKNOWN},
        {"00/FF pair stops", window({{7, "**ACE"}}), FORMAT_UNKNOWN},
        {"zip local header", window({{0, "PK\x03\x04\x0a"}}), FMT_UNZIP},
        {"zip without zero", std::string("PK\x03\x04\x01\x02\x03\x04") + std::string(24, 'x'), FORMAT_UNKNOWN},
        {"zip central dir", window({{0, "PK\x01\x02"}}), FORMAT_UNKNOWN},
        {"cab", window({{0, "MSCF"}, {5, "\x01"}}), FMT_CAB},
        {"cab reserved set", window({{0, "MSCF\x01"}}), FORMAT_UNKNOWN},
        {"gzip", window({{0, "\x1f\x8b\x08"}}), FMT_TARGZ},
        {"compress", window({{0, "\x1f\x9d\x90"}}), FMT_TARGZ},
        {"bzip2", window({{0, "BZh9"}}), FMT_TARBZ2},
        {"arj dos", window({{0, "\x60\xea\x29"}, {4, "\x22\x0b\x01"}, {8, "\x10"}}), FMT_ARJ},
        {"arj unix host", window({{0, "\x60\xea\x29"}, {4, "\x22\x0b\x01\x02\x10"}}), FORMAT_UNKNOWN},
        {"yz1 needs zero at 8", window({{0, "yz01\x01\x01\x01\x01\x01"}}), FORMAT_UNKNOWN},
        {"7z", window({{0, "7z\xbc\xaf\x27\x1c"}}), FMT_7Z},
        {"all zero", window({}), FORMAT_UNKNOWN},
    };
    for (const HandMade& h : handMade()) cases.push_back({h.name, h.header, h.format});
    for (const Case& c : cases) {
        EXPECT_EQ(matchSignature(reinterpret_cast<const unsigned char*>(c.bytes.data())), c.expected) << c.what;
    }
}

TEST_F(Identify, ExtensionDecidesWithoutOpening) {
    struct Case {
        const char* name;
        ArchiveFormat expected;
    };
    const Case cases[] = {
        {"DATA.LZH", FMT_LZH}, {"a.cab", FMT_CAB},     {"a.Zip", FMT_UNZIP}, {"a.arj", FMT_ARJ},
        {"a.tar", FMT_TAR},    {"a.bz2", FMT_TARBZ2},  {"data.tar.gz", FMT_TARGZ},
        {"a.Z", FMT_TARGZ},    {"a.rar", FMT_RAR},     {"a.bza", FMT_BZA},   {"a.GZA", FMT_GZA},
        {"a.yz1", FMT_YZ1},    {"a.ace", FMT_ACE},     {"a.7z", FMT_7Z},
        {"a.lzh.txt", FORMAT_UNKNOWN}, {"a.tgz", FORMAT_UNKNOWN}, {"a.gca", FORMAT_UNKNOWN},
        {"a.exe", FORMAT_UNKNOWN}, {"noextension", FORMAT_UNKNOWN},
    };
    for (const Case& c : cases) {
        // The files do not exist: only the name can have decided.
        std::string path = folder_ / "missing\\" + c.name;
        EXPECT_EQ(identifyFormat(path.c_str()), c.expected) << c.name;
    }
    // The last dot of the whole path counts, also one in a folder name.
    std::string dotted = folder_ / "x.lzh\\noextension";
    EXPECT_EQ(identifyFormat(dotted.c_str()), FORMAT_UNKNOWN);
    // A ".zip" is ZIP whatever it holds.
    EXPECT_EQ(identifyBytes("text.zip", "no archive at all"), FMT_UNZIP);
}

TEST_F(Identify, RealArchivesByContent) {
    struct Case {
        const char* fixture;
        ArchiveFormat expected;
    };
    const Case cases[] = {
        {"sample.gz", FMT_TARGZ},   {"sample.Z", FMT_TARGZ}, {"sample.bz2", FMT_TARBZ2},
        {"sample.zip", FMT_UNZIP},  {"sample.7z", FMT_7Z},   {"sample.cab", FMT_CAB},
        {"sample.lzh", FMT_LZH},    {"sample.tar", FORMAT_UNKNOWN},   // TAR only by its name
        {"readme.txt", FORMAT_UNKNOWN},
    };
    for (const Case& c : cases) {
        std::string bytes = readBytes(fixture(c.fixture));
        ASSERT_FALSE(bytes.empty()) << c.fixture;
        EXPECT_EQ(identifyBytes("x.dat", bytes), c.expected) << c.fixture;
        EXPECT_EQ(identifyBytes("x.tgz", bytes), c.expected) << c.fixture << " as .tgz";
    }
    // arj on this machine records a Unix host (header byte 7 = 2); archives
    // made under DOS or Windows carry 0 there, which the signature requires.
    std::string arj = readBytes(fixture("sample.arj"));
    ASSERT_GT(arj.size(), 8u);
    EXPECT_EQ(identifyBytes("x.dat", arj), FORMAT_UNKNOWN);
    arj[7] = '\0';
    EXPECT_EQ(identifyBytes("x.dat", arj), FMT_ARJ);
    for (const HandMade& h : handMade()) {
        EXPECT_EQ(identifyBytes("x.dat", h.header + std::string(200, '\0')), h.format) << h.name;
    }
}

TEST_F(Identify, ArchiveInsideExecutable) {
    std::string stub = readBytes(fixture("fixture_stub.exe"));
    std::string lzh = readBytes(fixture("sample.lzh"));
    ASSERT_FALSE(stub.empty());
    ASSERT_LT(stub.size(), 40000u);
    EXPECT_EQ(identifyBytes("setup.exe", placeAt(stub, 40000, lzh)), FMT_LZH);
    EXPECT_EQ(identifyBytes("setup.exe", placeAt(stub, 300000, lzh)), FORMAT_UNKNOWN);
    EXPECT_EQ(identifyBytes("setup.exe", stub), FORMAT_UNKNOWN);
    // A program without version resource is scanned under any name.
    EXPECT_EQ(identifyBytes("setup.bin", placeAt(stub, 40000, lzh)), FMT_LZH);
    for (const HandMade& h : handMade()) {
        EXPECT_EQ(identifyBytes("sfx.exe", placeAt(stub, 40000, h.header)), h.format) << h.name;
    }
}

TEST_F(Identify, ScanReachAndBlockEdges) {
    // Padding of zeros matches nothing; "Rar!" marks the spot. The header is 80
    // bytes, then blocks of 65,536 bytes whose last 20 window starts are not
    // tested, and at most three blocks are read.
    const std::string rar = "Rar!";
    const std::string start(80, '\0');   // a zero in the header: the file is scanned
    struct Case {
        size_t offset;
        ArchiveFormat expected;
    };
    const Case cases[] = {
        {80, FMT_RAR},
        {80 + 65536 - 21, FMT_RAR},      // last window of the first block
        {80 + 65536 - 20, FORMAT_UNKNOWN},  // would straddle the block end
        {80 + 65536, FMT_RAR},           // first window of the second block
        {196667, FMT_RAR},               // last window of the third block
        {196668, FORMAT_UNKNOWN},
        {300000, FORMAT_UNKNOWN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(identifyBytes("pad.dat", placeAt(start, c.offset, rar + std::string(100, '\0'))), c.expected)
            << c.offset;
    }
}

TEST_F(Identify, SmallAndTextFiles) {
    std::string zeros100(100, '\0');
    EXPECT_EQ(identifyBytes("empty.dat", ""), FORMAT_UNKNOWN);
    EXPECT_EQ(identifyBytes("small.dat", zeros100.substr(0, 80) + "Rar!" + std::string(16, '\0')), FORMAT_UNKNOWN);
    EXPECT_EQ(identifyBytes("small.dat", zeros100.substr(0, 80) + "Rar!" + std::string(17, '\0')), FMT_RAR);
    EXPECT_EQ(identifyBytes("small.dat", "Rar!"), FMT_RAR);   // header test reads zeros past the end
    // No zero byte among the first 80: never scanned, even with a signature later.
    std::string text(200, 'a');
    EXPECT_EQ(identifyBytes("text.dat", text.substr(0, 100) + "Rar!" + text), FORMAT_UNKNOWN);
    text[79] = '\0';
    EXPECT_EQ(identifyBytes("text.dat", text.substr(0, 100) + "Rar!" + text), FMT_RAR);
    EXPECT_EQ(identifyBytes("text.dat", "Rar!" + text), FMT_RAR);
}

TEST_F(Identify, VersionResourceGate) {
    std::string dll = readBytes(fixture("fixture_dll.dll"));
    ASSERT_FALSE(dll.empty());
    std::string withArchive = placeAt(dll, 10000, "Rar!" + std::string(100, '\0'));
    EXPECT_EQ(identifyBytes("x.bin", withArchive), FORMAT_UNKNOWN);   // a DLL: not read
    EXPECT_EQ(identifyBytes("x", withArchive), FORMAT_UNKNOWN);
    EXPECT_EQ(identifyBytes("x.exe", withArchive), FMT_RAR);          // ".exe" skips the gate
    EXPECT_EQ(identifyBytes("x.EXE", withArchive), FMT_RAR);
}

TEST_F(Identify, SharingAndUnreadableFiles) {
    std::string path = folder_ / "held.dat";
    writeBytes(path, "Rar!" + std::string(100, '\0'));
    {
        // Others reading the file do not stop identification...
        HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(identifyFormat(path.c_str()), FMT_RAR);
        CloseHandle(reader);
    }
    {
        // ...one holding it exclusively does: unknown, nothing shown.
        HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(identifyFormat(path.c_str()), FORMAT_UNKNOWN);
        CloseHandle(writer);
    }
    DeleteFileA(path.c_str());
    EXPECT_EQ(identifyFormat(path.c_str()), FORMAT_UNKNOWN);
}
