#pragma once
// Stand-in archiver DLLs for tests: choosing which DLLs are "installed",
// steering what they do, reading what they were asked to do.
//
// THE DLLS. <build>/standins/full/ holds one stand-in per archiver DLL of the
// converter (unlha32.dll Unlha, unzip32.dll UnZip, zip32j.dll Zip, cab32.dll
// Cab, unarj32j.dll Unarj, tar32.dll Tar, unrar32.dll Unrar, bga32.dll Bga,
// ungca32.dll UnGCA, yz1.dll Yz1, 7-zip32.dll SevenZip; each with its
// <Command>GetVersion export) and the companions zip32.dll (ZpVersion),
// unrar.dll (RARGetDllVersion), bz2lib.dll and izip32j.dll (no useful
// exports). <build>/standins/noversion/ holds the same archivers and zip32.dll
// / unrar.dll WITHOUT their version export. Exports are undecorated __stdcall,
// exactly as the real DLLs have them. Every DLL has a version resource
// (VFT_DLL): unlha32 2.67.0.2, unzip32 5.53.0.0, zip32j 2.96.0.0, cab32
// 0.98.0.0, unarj32j 1.3.0.0, tar32 2.50.0.0, unrar32 0.17.0.0, bga32
// 0.40.0.0, ungca32 0.8.0.0, yz1 0.75.0.0, 7-zip32 9.20.0.0, zip32 2.3.0.0,
// unrar 5.0.0.0, bz2lib 1.0.0.0, izip32j 2.3.0.0. <build>/standins/files/
// versioned_app.exe is an application (VFT_APP) with file version 1.2.3.4.
//
// INSTALLING. A StandinFolder is a fresh temporary folder holding copies of
// the chosen DLLs; while it lives, PATH starts with it and STANDIN_LOG names
// its call log, so SearchPathA and LoadLibraryA of this process find exactly
// those DLLs (the test program's folder and the current folder hold none).
// Release every stand-in the code under test loaded (unloadArchivers) before
// the folder goes away: a module still loaded is found by name whatever PATH
// says.
//
//   StandinFolder dlls({"tar32.dll", "bz2lib.dll"});
//   dlls.add("zip32j.dll", StandinSet::NoVersion);
//   setStandinVersion("tar32.dll", 50);
//   DropContext ctx;                               // probes with these DLLs
//
// BEHAVIOUR (read by the DLL from the environment at every call, set by the
// helpers below; `dll` is the file name, e.g. "7-zip32.dll"):
// - version export returns setStandinVersion's number (default: the table
//   above, e.g. tar32 250, zip32j 296, yz1 75); RARGetDllVersion likewise
//   (default 8); ZpVersion fills its 64-byte record with bytes 56..58 from
//   setZip32Record (default 2,3,0).
// - command export returns setStandinResult's value (default 0). With a
//   non-zero result it does nothing else, unless setStandinAction(dll,
//   "always"); setStandinAction(dll, "none") makes it do nothing but answer.
// - setStandinLoadLibrary(dll, name): during each command call the DLL calls
//   LoadLibraryA(name), logs which file was loaded (or "failed") and frees it.
// - setStandinExtra(dll, items): after each extraction the DLL adds, per
//   "|"-separated item, "f:<name>" a file holding "extra" (any UTF-16 name,
//   any depth, through "\\?\" paths) or "l:<name>><Windows path>" a Unix
//   symbolic link to that path (Linux system call; Wine lists a link to a
//   folder as directory + reparse point).
// - setStandinReadBack(dll, "change:a.7z;drop:b.7z"): extracting an archive
//   of that file name flips the first byte of its first file ("change") or
//   leaves its last file out ("drop").
// - listing exports <Command>OpenArchive/FindFirst/FindNext/CloseArchive
//   report the archive's entries (tar32.dll as tar32 does: "./", "./d/",
//   "./d/f.txt", folders with attribute "----"); setStandinListing(dll,
//   "fail") makes OpenArchive fail, setStandinListing(dll, "f:x.txt|d:sub")
//   adds entries that the extraction does not write.
// - <Command>SetUnicodeMode(BOOL) exists in every archiver stand-in; it
//   accepts and logs the mode asked for as its result. In Unicode mode the
//   listing exports take the archive path and give the names in UTF-8.
// - zip32j.dll's successful compression leaves izip32j.dll loaded (if it can
//   be found), like the real pair.
//
// COMMANDS. The stand-in decides by the first token: a command letter (e/x
// extract, a/c compress, s self-extract) or a leading switch (-x.. extract;
// -a, -S, -c.. compress; --sfx, -f self-extract; "--display-*" is skipped).
// Unquoted tokens beginning with '-' are switches; the other tokens, in order,
// are the archive, the folder, then file specs.
// - extract: reads the stand-in archive (see support/standin_archive.h) and
//   recreates its folders and files under the folder (created if missing).
// - compress: writes a stand-in archive of the specs, relative to the folder:
//   "@list" = the list file's lines (surrounding quotes dropped) in their
//   order; "*" or "*.*" = everything under the folder, depth first in find
//   order, a folder entry before its content; no spec = "*"; any other name =
//   that file, or that folder with its content. MADE-BY is the DLL's name.
// - self-extract: writes <folder><archive stem>.exe = "MZ STANDIN-SFX <dll>\n"
//   followed by the archive's bytes.
// A command not understood returns 0x8001, a failed operation 0x8010.
//
// LOG. Every export call appends one record to STANDIN_LOG: the DLL, the
// export, the current folder; for command calls also the owner window, the
// buffer size, the first byte of the output buffer on entry, the command line
// (raw ANSI bytes), the lines of every "@" list file named, LoadLibrary
// results, an error text, and the result. The DLL writes a text into the
// output buffer before it returns.
#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "support/scratch_folder.h"
#include "support/standin_archive.h"

enum class StandinSet { Full, NoVersion };

// The archiver DLL names (binding order) and the companions.
extern const char* const STANDIN_ARCHIVER_DLLS[11];
extern const char* const STANDIN_COMPANION_DLLS[4];

// <build>\standins\ (with trailing backslash), found from the test program's path.
std::string standinsRoot();

class StandinFolder {
public:
    explicit StandinFolder(std::initializer_list<const char*> dlls = {}, StandinSet set = StandinSet::Full);
    ~StandinFolder();   // restores PATH and STANDIN_LOG, clears behaviour, deletes the folder
    StandinFolder(const StandinFolder&) = delete;
    StandinFolder& operator=(const StandinFolder&) = delete;

    // Copies a stand-in DLL (or a file of standins/files/) into the folder.
    void add(const std::string& dll, StandinSet set = StandinSet::Full);
    void addFile(const std::string& name, const std::string& bytes);   // any file, e.g. "unacev2.dll"
    void remove(const std::string& name);
    const std::string& path() const { return folder_.path(); }   // ANSI, trailing backslash
    std::string logPath() const { return path() + "calls.log"; }

private:
    ScratchFolder folder_{"standins"};
    std::string savedPath_;
    bool hadPath_ = false;
};

// Behaviour of the stand-in `dll` for the following calls (see above).
void setStandinVersion(const std::string& dll, unsigned version);
void setStandinResult(const std::string& dll, int result);
void setStandinAction(const std::string& dll, const std::string& action);
void setStandinLoadLibrary(const std::string& dll, const std::string& name);
void setStandinExtra(const std::string& dll, const std::wstring& items);
void setStandinReadBack(const std::string& dll, const std::string& spec);
void setStandinListing(const std::string& dll, const std::string& spec);
void setZip32Record(unsigned char b56, unsigned char b57, unsigned char b58);
void setUnrarVersion(int version);
// Removes every STANDIN_* variable except STANDIN_LOG.
void clearStandinBehaviour();
// "STANDIN_TAR32" for "tar32.dll": the prefix of a DLL's variables.
std::string standinKey(const std::string& dll);

struct StandinCall {
    std::string dll;
    std::string exportName;
    std::string currentFolder;
    std::string owner;          // "%p" of the window handle
    long bufferSize = -1;
    int outputFirstByte = -1;   // first byte of the output buffer on entry
    std::string commandLine;    // raw ANSI
    std::vector<std::string> listLines;   // lines of "@" list files, raw ANSI, without CR LF
    std::vector<std::string> loads;       // "name\tpath" or "name\tfailed"
    std::string error;
    long result = 0;
};

// Every record of the log (empty when there is none yet).
std::vector<StandinCall> readStandinLog(const std::string& logPath);
// Only the command calls (version and companion calls left out).
std::vector<StandinCall> readStandinCommands(const std::string& logPath);
void clearStandinLog(const std::string& logPath);

bool writeStandinArchive(const std::string& path, const StandinArchive& archive);
bool readStandinArchive(const std::string& path, StandinArchive& archive);
// Archive entries in order as "D name" / "F name=data" lines, for compact asserts.
std::vector<std::string> describeStandinArchive(const StandinArchive& archive);
