// Extraction command lines: what each stand-in archiver DLL receives for
// every source format, and the outcomes without a call.
#include <gtest/gtest.h>
#include <windows.h>
#include "archivers/binding.h"
#include "archivers/extract.h"
#include "base/converter_context.h"
#include "support/drop_context.h"
#include "support/scratch_folder.h"
#include "support/standins.h"
#include "support/text.h"

namespace {

const int DEFAULT_VERSION = -1;   // the stand-in's own version
const int NO_VERSION = -2;        // a DLL without its version export

struct ExtractCase {
    const char* title;
    ArchiveFormat format;
    const char* dll;
    const char* exportName;
    int version;
    const char* switches;
};

// Paths with blanks and with 表 / ソ, whose second byte is 0x5C.
struct Place {
    ScratchFolder folder{"ex"};
    std::string archive = folder.path() + toAnsi("my 表 ソ.arc");
    std::string work = folder.path() + toAnsi("~my 表 ソ\\");
};

void checkExtract(const ExtractCase& c) {
    SCOPED_TRACE(c.title);
    StandinFolder dlls;
    dlls.add(c.dll, c.version == NO_VERSION ? StandinSet::NoVersion : StandinSet::Full);
    if (c.version >= 0) setStandinVersion(c.dll, c.version);
    setStandinAction(c.dll, "none");
    Place place;
    {
        DropContext ctx;
        ASSERT_NE(loadArchiver(ctx, c.format, false), nullptr);
        ctx.outputBuffer[0] = 'x';
        EXPECT_TRUE(extractArchive(ctx, place.archive.c_str(), place.work.c_str(), c.format));
        unloadArchivers(ctx);
    }
    std::vector<StandinCall> calls = readStandinCommands(dlls.logPath());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].dll, c.dll);
    EXPECT_EQ(calls[0].exportName, c.exportName);
    EXPECT_EQ(fromAnsi(calls[0].commandLine),
              std::string(c.switches) + "\"" + fromAnsi(place.archive) + "\" \"" + fromAnsi(place.work) + "\"");
    EXPECT_EQ(calls[0].outputFirstByte, 0);
    EXPECT_EQ(calls[0].bufferSize, 32768);
    // Only 7-zip32.dll is handed a folder that exists already.
    EXPECT_EQ(pathExists(place.work), c.format == FMT_7Z);
}

}  // namespace

TEST(Extract, CommandLineOfEveryFormat) {
    const ExtractCase cases[] = {
        {"LZH", FMT_LZH, "unlha32.dll", "Unlha", DEFAULT_VERSION, "e -x1r2 -jf0 -y -c -a1 "},
        {"ZIP", FMT_UNZIP, "unzip32.dll", "UnZip", DEFAULT_VERSION, "-x -s -o --j -i "},
        {"CAB", FMT_CAB, "cab32.dll", "Cab", DEFAULT_VERSION, "-x -r -o "},
        {"ARJ", FMT_ARJ, "unarj32j.dll", "Unarj", DEFAULT_VERSION, "x -jf0 -y -p1 -c -a1 "},
        {"TAR 21", FMT_TAR, "tar32.dll", "Tar", 21, "-xvf "},
        {"TAR 22", FMT_TAR, "tar32.dll", "Tar", 22, "--display-window=1 -xvf "},
        {"TAR 23", FMT_TAR, "tar32.dll", "Tar", 23, "--display-dialog=1 -xvf "},
        {"TAR without version", FMT_TAR, "tar32.dll", "Tar", NO_VERSION, "-xvf "},
        {"TAR-GZ 41", FMT_TARGZ, "tar32.dll", "Tar", 41, "--display-dialog=1 -xvfz "},
        {"TAR-GZ 22", FMT_TARGZ, "tar32.dll", "Tar", 22, "--display-window=1 -xvfz "},
        {"TAR-GZ without version", FMT_TARGZ, "tar32.dll", "Tar", NO_VERSION, "-xvfz "},
        {"TAR-BZ2 250", FMT_TARBZ2, "tar32.dll", "Tar", 250, "--display-dialog=1 -xvf "},
        {"TAR-BZ2 without version", FMT_TARBZ2, "tar32.dll", "Tar", NO_VERSION, "-xvf "},
        {"RAR", FMT_RAR, "unrar32.dll", "Unrar", DEFAULT_VERSION, "-x -y -o "},
        {"BZA", FMT_BZA, "bga32.dll", "Bga", DEFAULT_VERSION, "-x -r -o -a "},
        {"GZA", FMT_GZA, "bga32.dll", "Bga", DEFAULT_VERSION, "-x -r -o -a "},
        {"GCA 7", FMT_GCA, "ungca32.dll", "UnGCA", 7, "e -yx0 "},
        {"GCA 8", FMT_GCA, "ungca32.dll", "UnGCA", 8, "e -yx0 -sx1 "},
        {"YZ1", FMT_YZ1, "yz1.dll", "Yz1", DEFAULT_VERSION, "x -y "},
        {"7z (also ZIP routed to 7-zip32.dll)", FMT_7Z, "7-zip32.dll", "SevenZip", DEFAULT_VERSION, "x -y "},
    };
    for (const ExtractCase& c : cases) checkExtract(c);
}

TEST(Extract, FailsWithoutCallingTheDll) {
    struct Failure {
        const char* title;
        ArchiveFormat format;
        bool workFolderExists;
    };
    const Failure failures[] = {
        {"ZIP target code", FMT_ZIP, false},
        {"no format", 0, false},
        {"two formats", FMT_LZH | FMT_CAB, false},
        {"7z into a work folder left from before", FMT_7Z, true},
    };
    StandinFolder dlls({"unlha32.dll", "cab32.dll", "zip32j.dll", "zip32.dll", "7-zip32.dll"});
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.title);
        Place place;
        if (f.workFolderExists) {
            ASSERT_TRUE(CreateDirectoryA(place.work.c_str(), nullptr));
        }
        DropContext ctx;
        loadArchiver(ctx, FMT_LZH, false);
        loadArchiver(ctx, FMT_CAB, false);
        loadArchiver(ctx, FMT_7Z, false);
        EXPECT_FALSE(extractArchive(ctx, place.archive.c_str(), place.work.c_str(), f.format));
        unloadArchivers(ctx);
        EXPECT_TRUE(readStandinCommands(dlls.logPath()).empty());
    }
}

TEST(Extract, ReportsTheDllsFailureAndAMissingExport) {
    StandinFolder dlls({"unlha32.dll"});
    // cab32.dll that exports nothing of an archiver: the bytes of zip32.dll.
    std::string companion;
    ASSERT_TRUE(readWholeFile(standinsRoot() + "full\\zip32.dll", companion));
    dlls.addFile("cab32.dll", companion);
    setStandinResult("unlha32.dll", 0x8010);
    Place place;
    DropContext ctx;
    ASSERT_NE(loadArchiver(ctx, FMT_LZH, false), nullptr);
    ASSERT_NE(loadArchiver(ctx, FMT_CAB, false), nullptr);
    EXPECT_FALSE(extractArchive(ctx, place.archive.c_str(), place.work.c_str(), FMT_LZH));
    EXPECT_FALSE(extractArchive(ctx, place.archive.c_str(), place.work.c_str(), FMT_CAB));
    unloadArchivers(ctx);
    std::vector<StandinCall> calls = readStandinCommands(dlls.logPath());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].dll, "unlha32.dll");
}

TEST(Extract, UnpacksTheArchiveIntoTheWorkFolder) {
    StandinFolder dlls({"7-zip32.dll"});
    Place place;
    StandinArchive source;
    source.entries = {{true, toAnsi("表"), ""}, {false, toAnsi("表\\ソ.txt"), "data\r\n"}, {false, "a.bin", std::string("\0\x5c", 2)}};
    ASSERT_TRUE(writeStandinArchive(place.archive, source));
    DropContext ctx;
    ASSERT_NE(loadArchiver(ctx, FMT_7Z, false), nullptr);
    EXPECT_TRUE(extractArchive(ctx, place.archive.c_str(), place.work.c_str(), FMT_7Z));
    unloadArchivers(ctx);
    EXPECT_EQ(readBytes(place.work + toAnsi("表\\ソ.txt")), "data\r\n");
    EXPECT_EQ(readBytes(place.work + "a.bin"), std::string("\0\x5c", 2));
}
