// Self-extracting archives: the DLL-made executables with their commands,
// the zip32j.dll version check, the 7z module join, and the byte copy.
#include <gtest/gtest.h>
#include <windows.h>
#include "archivers/binding.h"
#include "archivers/compress.h"
#include "archivers/sfx.h"
#include "base/converter_context.h"
#include "engine/worklist.h"
#include "support/drop_context.h"
#include "support/dialog_driver.h"
#include "support/scratch_folder.h"
#include "support/standins.h"
#include "support/text.h"

namespace {

struct SfxCase {
    const char* title;
    ArchiveFormat format;
    const char* dll;
    const char* extension;
    int lhSfxMode;
    const char* switches;   // of the self-extractor command
};

struct Converted {
    bool result = false;
    std::string archive;    // the caller's buffer afterwards
    std::vector<StandinCall> calls;
};

// Compresses a small work folder into dest with sfxMode set.
Converted convert(StandinFolder& dlls, const ScratchFolder& dest, ArchiveFormat format, const std::string& archive,
                  int sfxMode, int lhSfxMode = 1019, int unicodeNames = 0) {
    ScratchFolder work("work");
    makeTree(work.path(), {"a.txt", toAnsi("表\\ソ.txt")});
    Converted out;
    {
        zip32jVersion = 1000;
        DropContext ctx;
        ctx.sort = 1;
        ctx.lhType = 1013;
        ctx.lhSfxMode = lhSfxMode;
        ctx.zipLevel = 6;
        ctx.cabMode = 0;
        ctx.bgaLevel = 5;
        ctx.sevenZipOptions = 1 | 0x30000;
        ctx.sfxMode = sfxMode;
        ctx.unicodeNames = unicodeNames;
        setFolderField(ctx.destFolder, dest.path());
        EXPECT_NE(loadArchiver(ctx, format, false), nullptr);
        std::vector<char> path(archive.begin(), archive.end());
        path.resize(MAX_PATH, '\0');
        out.result = packFolder(ctx, path.data(), path.size(), work.path().c_str(), format);
        out.archive = path.data();
        unloadArchivers(ctx);
    }
    out.calls = readStandinCommands(dlls.logPath());
    return out;
}

void checkDllMadeSfx(const SfxCase& c) {
    SCOPED_TRACE(c.title);
    StandinFolder dlls({c.dll});
    if (c.format == FMT_ZIP) dlls.add("zip32.dll");
    ScratchFolder dest("dest 表");
    std::string stem = dest.path() + toAnsi("new ソ");
    Converted out = convert(dlls, dest, c.format, stem + c.extension, 1, c.lhSfxMode);
    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.archive, stem + ".exe");
    EXPECT_FALSE(pathExists(stem + c.extension)) << "plain archive left";
    EXPECT_TRUE(pathExists(stem + ".exe"));
    ASSERT_EQ(out.calls.size(), 2u);
    EXPECT_EQ(fromAnsi(out.calls[1].commandLine), std::string(c.switches) + "\"" + fromAnsi(stem + c.extension) +
                                                      "\" \"" + fromAnsi(dest.path()) + "\"");
    EXPECT_EQ(out.calls[1].outputFirstByte, 0);
}

std::string moduleBytes(const char* name) {
    // A module whose size is an exact multiple of the copy block.
    std::string bytes = std::string("MZ module ") + name + "\n";
    bytes.resize(2 * 1024, '\x5c');
    return bytes;
}

}  // namespace

TEST(Sfx, DllMadeExecutables) {
    const SfxCase cases[] = {
        {"LZH DOSSFX", FMT_LZH, "unlha32.dll", ".lzh", 1016, "s -x -c -i0 "},
        {"LZH WINSFX", FMT_LZH, "unlha32.dll", ".lzh", 1017, "s -x -c -jw -i0 "},
        {"LZH WINSFXM", FMT_LZH, "unlha32.dll", ".lzh", 1018, "s -x -c -jw3 -i0 "},
        {"LZH WINSFX32", FMT_LZH, "unlha32.dll", ".lzh", 1019, "s -x -c -gw "},
        {"LZH 1020", FMT_LZH, "unlha32.dll", ".lzh", 1020, "s -x -c -gw "},
        {"LZH WINSFX32M", FMT_LZH, "unlha32.dll", ".lzh", 1021, "s -x -c -gw3 "},
        {"ZIP", FMT_ZIP, "zip32j.dll", ".zip", 1019, "--sfx "},
        {"CAB", FMT_CAB, "cab32.dll", ".cab", 1019, "-f "},
        {"BZA", FMT_BZA, "bga32.dll", ".bza", 1019, "s "},
        {"GZA", FMT_GZA, "bga32.dll", ".gza", 1019, "s "},
        {"YZ1", FMT_YZ1, "yz1.dll", ".yz1", 1019, "s "},
    };
    for (const SfxCase& c : cases) checkDllMadeSfx(c);
}

TEST(Sfx, Zip32jBelow024IsRefusedAndThePlainZipStays) {
    StandinFolder dlls({"zip32j.dll", "zip32.dll"});
    setStandinVersion("zip32j.dll", 23);
    ScratchFolder dest("dest");
    DialogDriver driver([](DialogDriver& d) {
        SeenWindow box = d.waitFor("Veltrox.dll");
        d.click(box, IDOK);
    });
    Converted out = convert(dlls, dest, FMT_ZIP, dest.path() + "new.zip", 1);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 1u);
    EXPECT_EQ(driver.seen(0).text(), "ZIP 版自己解凍書庫の作成には IZIP32J.DLL v0.24 以上が必要です。");
    EXPECT_EQ(driver.seen(0).owner, nullptr);
    EXPECT_TRUE(driver.seen(0).hasIcon());
    EXPECT_FALSE(out.result);
    EXPECT_EQ(out.archive, dest.path() + "new.zip");
    EXPECT_TRUE(pathExists(dest.path() + "new.zip"));
    EXPECT_FALSE(pathExists(dest.path() + "new.exe"));
    EXPECT_EQ(out.calls.size(), 1u);
}

TEST(Sfx, SevenZipJoinsTheModuleAndTheArchive) {
    struct JoinCase {
        const char* title;
        int sfxMode;
        const char* module;
        const char* extension;
        bool existingExe;
    };
    const JoinCase cases[] = {
        {"console module", 1, "7zCon.sfx", ".7z", false},
        {"Windows module", 2, "7z.sfx", ".7z", true},
        {"compressed Windows module", 3, "7zC.sfx", ".7z", false},
    };
    for (const JoinCase& c : cases) {
        SCOPED_TRACE(c.title);
        StandinFolder dlls({"7-zip32.dll"});
        for (const char* name : {"7zCon.sfx", "7z.sfx", "7zC.sfx"}) dlls.addFile(name, moduleBytes(name));
        ScratchFolder dest("dest ソ");
        std::string stem = dest.path() + toAnsi("新 表");
        if (c.existingExe) writeBytes(stem + ".exe", std::string(5000, 'o'));
        Converted out = convert(dlls, dest, FMT_7Z, stem + c.extension, c.sfxMode);
        EXPECT_TRUE(out.result);
        EXPECT_EQ(out.archive, stem + ".exe");
        EXPECT_FALSE(pathExists(stem + c.extension));
        std::string exe = readBytes(stem + ".exe");
        std::string module = moduleBytes(c.module);
        ASSERT_GT(exe.size(), module.size());
        EXPECT_EQ(exe.substr(0, module.size()), module);
        StandinArchive archive;
        ASSERT_TRUE(decodeStandinArchive(exe.substr(module.size()), archive));
        EXPECT_EQ(archive.madeBy, "7-zip32.dll");
        EXPECT_EQ(exe.substr(module.size()).compare(0, 26, STANDIN_ARCHIVE_MAGIC), 0);
        ASSERT_EQ(out.calls.size(), 1u);
    }
}

// A ZIP packed by 7-zip32.dll is made self-extracting by zip32j.dll's own
// command (a 7z module cannot unpack ZIP data); without zip32j.dll the step
// fails and the plain ZIP stays under its own name. Entries that needed
// 7-zip32.dll's Unicode mode do not stop zip32j.dll, which has none: its
// command names only the archive and its folder.
TEST(Sfx, ZipPackedBySevenZipGetsTheZipSelfExtractor) {
    for (int row = 0; row < 3; ++row) {
        bool withZip32j = row != 1;
        int unicodeNames = row == 2;
        SCOPED_TRACE(withZip32j ? (unicodeNames ? "zip32j.dll, names in Unicode mode" : "zip32j.dll installed")
                                : "no zip32j.dll");
        StandinFolder dlls({"7-zip32.dll"});
        for (const char* name : {"7zCon.sfx", "7z.sfx", "7zC.sfx"}) dlls.addFile(name, moduleBytes(name));
        if (withZip32j) {
            dlls.add("zip32j.dll");
            dlls.add("zip32.dll");
        }
        ScratchFolder dest("dest");
        std::string stem = dest.path() + "new";
        Converted out = convert(dlls, dest, FMT_7Z, stem + ".zip", 1, 1019, unicodeNames);
        EXPECT_EQ(out.result, withZip32j);
        EXPECT_EQ(out.archive, stem + (withZip32j ? ".exe" : ".zip"));
        EXPECT_EQ(pathExists(stem + ".zip"), !withZip32j);
        if (withZip32j) {
            EXPECT_EQ(readBytes(stem + ".exe").compare(0, 26, "MZ STANDIN-SFX zip32j.dll\n"), 0);
            ASSERT_EQ(out.calls.size(), 2u);
            EXPECT_EQ(out.calls[1].commandLine, "--sfx \"" + stem + ".zip\" \"" + dest.path() + "\"");
        } else {
            EXPECT_FALSE(pathExists(stem + ".exe"));
            EXPECT_EQ(out.calls.size(), 1u);
        }
    }
}

TEST(Sfx, SevenZipWithoutModuleKeepsThePlainArchive) {
    for (int sfxMode : {1, 4}) {
        SCOPED_TRACE(sfxMode);
        StandinFolder dlls({"7-zip32.dll"});
        ScratchFolder dest("dest");
        DialogDriver driver([](DialogDriver& d) {
            SeenWindow box = d.waitFor("Veltrox.dll");
            d.click(box, IDOK);
        });
        Converted out = convert(dlls, dest, FMT_7Z, dest.path() + "new.7z", sfxMode);
        ASSERT_TRUE(driver.finish());
        ASSERT_EQ(driver.seenCount(), 1u);
        EXPECT_EQ(driver.seen(0).text(), "SFX モジュールが見つかりません。");
        EXPECT_FALSE(out.result);
        EXPECT_TRUE(pathExists(dest.path() + "new.7z"));
        EXPECT_FALSE(pathExists(dest.path() + "new.exe"));
    }
}

TEST(Sfx, JoinFilesCopiesEveryByte) {
    ScratchFolder place("join");
    struct Sizes {
        size_t first, second;
    };
    const Sizes sizes[] = {{0, 0}, {1024, 3072}, {1023, 1025}, {65536, 65536 * 3 + 1}, {1, 200000}};
    for (const Sizes& s : sizes) {
        SCOPED_TRACE(std::to_string(s.first) + "+" + std::to_string(s.second));
        std::string first, second;
        for (size_t i = 0; i < s.first; ++i) first += static_cast<char>(i * 7);
        for (size_t i = 0; i < s.second; ++i) second += static_cast<char>(i * 13 + 1);
        ASSERT_TRUE(writeBytes(place / "first", first));
        ASSERT_TRUE(writeBytes(place / "second", second));
        writeBytes(place / "out", std::string(300000, 'x'));   // replaced, not appended to
        EXPECT_TRUE(joinFiles((place / "out").c_str(), (place / "second").c_str(), (place / "first").c_str()));
        EXPECT_TRUE(readBytes(place / "out") == first + second);
    }
    // A missing part fails and leaves no truncated executable behind.
    EXPECT_FALSE(joinFiles((place / "out2").c_str(), (place / "missing").c_str(), (place / "first").c_str()));
    EXPECT_FALSE(pathExists(place / "out2"));
}
