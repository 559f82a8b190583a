// The conversion driver: for every input archive, extract into a work folder
// in the temporary folder and pack that folder again in the target format;
// afterwards send the converted sources to the Recycle Bin in one operation.
#include "engine/driver.h"
#include "base/handles.h"
#include "engine/identify.h"
#include "base/paths.h"
#include "engine/worklist.h"
#include "engine/worktree.h"
#include "archivers/binding.h"
#include "archivers/extract.h"
#include "archivers/listing.h"
#include "archivers/unicode_mode.h"
#include "engine/listing_check.h"
#include "archivers/versions.h"
#include "base/module.h"
#include "base/settings.h"
#include "base/wide_text.h"
#include "ui/ace_dialogs.h"
#include "ui/dialogs.h"
#include <shellapi.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Paths the driver builds (stem, work folder, output) must fit this many
// bytes with their terminator; paths the shell supplies 260.
const size_t BUILT_PATH_SIZE = 256;
const size_t SUPPLIED_PATH_SIZE = 260;

// The window in front at the drop owns the driver's messages; once it has
// closed, a box owned by it would fail and the user would hear nothing, so
// the box is then shown without an owner.
HWND liveOwner(HWND owner) { return owner && IsWindow(owner) ? owner : nullptr; }

int showMessage(HWND owner, const std::string& text, UINT style) {
    return MessageBoxA(liveOwner(owner), text.c_str(), MESSAGE_CAPTION, style);
}

void refuseLongPath(const ConverterContext& ctx, const char* source) {
    showMessage(ctx.ownerWindow, std::string(source) + "\n\nはパスが長すぎるため変換できません。",
                MB_OK | MB_ICONWARNING);
}

// File-name part of a path (after its last backslash).
const char* fileNamePart(const char* path) {
    size_t slash = findLastBackslash(path);
    return slash == NO_POSITION ? path : path + slash + 1;
}

// Extension of a path's file name from its last ".", or null without one.
const char* extensionOf(const char* path) {
    const char* name = fileNamePart(path);
    size_t dot = findLastDot(name);
    return dot == NO_POSITION ? nullptr : name + dot;
}

// The source file name without its folder and its last extension.
std::string stemOf(const char* source) {
    const char* name = fileNamePart(source);
    size_t dot = findLastDot(name);
    return dot == NO_POSITION ? std::string(name) : std::string(name, dot);
}

// A name as Windows stores it: trailing dots and spaces dropped (no trail
// byte of code page 932 is either).
std::string windowsFormOf(std::string name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name;
}

// Folder of the first source archive; a drive root keeps its backslash.
bool setSourceFolder(ConverterContext& ctx, const char* source) {
    size_t slash = findLastBackslash(source);
    std::string folder = slash == NO_POSITION ? std::string() : std::string(source, slash);
    if (folder.size() == 2) folder += '\\';
    return copyBounded(ctx.sourceFolder, sizeof ctx.sourceFolder, folder.c_str());
}

bool isSameFormatConversion(ArchiveFormat source, ArchiveFormat target, const char* sourcePath,
                            const char* outputPath) {
    bool sameCode = source == target || (source == FMT_UNZIP && target == FMT_ZIP);
    if (!sameCode) return false;
    const char* sourceExtension = extensionOf(sourcePath);
    const char* outputExtension = extensionOf(outputPath);
    return sourceExtension && outputExtension && lstrcmpiA(sourceExtension, outputExtension) == 0;
}

bool isFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Gives the output the source's last-write time; creation and access times
// stay as they are. Nothing happens when either file cannot be opened.
void copyLastWriteTime(const char* source, const char* output) {
    FILETIME lastWrite;
    {
        FileHandle in(CreateFileA(source, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
        if (!in || !GetFileTime(in.get(), nullptr, nullptr, &lastWrite)) return;
    }
    FileHandle out(CreateFileA(output, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (out) SetFileTime(out.get(), nullptr, nullptr, &lastWrite);
}

bool isExeFile(const char* path) {
    const char* extension = extensionOf(path);
    return extension && lstrcmpiA(extension, ".exe") == 0;
}

enum class Next { nextEntry, stopRun };

// Removes a finished archive's folders (its work folder and the folder its
// new archive was read back into) on a thread of its own while the next
// archive is extracted and packed (the removal costs about as much as the
// extraction). One archive's folders at a time, so folders go in order; a
// folder that the next archive needs under the same name is waited for first,
// and the last ones before the run ends. The thread is joined on every way out.
class BackgroundRemoval {
public:
    BackgroundRemoval() = default;
    BackgroundRemoval(const BackgroundRemoval&) = delete;
    BackgroundRemoval& operator=(const BackgroundRemoval&) = delete;
    ~BackgroundRemoval() { wait(); }

    void start(std::vector<std::string> folders) {
        wait();
        folders_ = std::move(folders);
        thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
        // Without a thread the folders are removed here, as they always were.
        if (!thread_) {
            removeAll();
            folders_.clear();
        }
    }
    // Waits when `folder` is one of those being removed.
    void waitFor(const std::string& folder) {
        if (!thread_) return;
        for (const std::string& busy : folders_)
            if (lstrcmpiA(folder.c_str(), busy.c_str()) == 0) return wait();
    }
    void wait() {
        if (!thread_) return;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
        folders_.clear();
    }

private:
    void removeAll() {
        for (const std::string& folder : folders_) removeWorkTree(folder.c_str());
    }
    static DWORD WINAPI run(LPVOID parameter) {
        static_cast<BackgroundRemoval*>(parameter)->removeAll();
        return 0;
    }
    HANDLE thread_ = nullptr;
    std::vector<std::string> folders_;
};

// An archive whose extraction or compression failed, with what its
// archiver DLL returned and wrote into the output buffer.
struct Failure {
    std::string source;
    bool extraction;
    int32_t result;
    std::string output;
};

struct RunState {
    std::string tempPath;          // ends in a backslash; empty when unusable
    bool firstArchive = true;
    std::string deleteList;        // NUL-terminated paths
    std::vector<std::string> unverified;   // converted, but kept: the new archive was not confirmed
    std::vector<Failure> failures;         // not converted: the archiver DLL failed
    std::vector<std::string> folderNames;  // "~..." names of the work and check folders of this drop
    BackgroundRemoval removal;              // the previous archive's folders
    std::string checkFolder;                // this archive's read-back folder, once made
};

// The name of an archive's folders in the temporary folder: "~<name>\" to
// extract into and "~<name>.chk\" to read the new archive back into. The
// name is the stem as Windows stores it ("a." and "a" are one name there),
// with "(2)", "(3)"... added when an earlier archive of the drop had it, so
// that no two archives of a drop ever share a folder.
std::string folderNameFor(RunState& run, const std::string& stem) {
    std::string base = windowsFormOf(stem);
    auto used = [&](const std::string& folder) {
        for (const std::string& name : run.folderNames)
            if (lstrcmpiA(name.c_str(), folder.c_str()) == 0) return true;
        return false;
    };
    std::string name = base;
    for (int n = 2; used("~" + name) || used("~" + name + ".chk"); ++n) name = base + "(" + std::to_string(n) + ")";
    run.folderNames.push_back("~" + name);
    run.folderNames.push_back("~" + name + ".chk");
    return name;
}

// Formats whose extraction rows can read back a new archive of `target`, in
// the order they are tried (ZIP through 7-zip32.dll first when the user
// routes ZIP sources there).
std::vector<ArchiveFormat> readBackFormats(const ConverterContext& ctx, ArchiveFormat target) {
    if (target == FMT_ZIP)
        return (ctx.fUse7ZipLib & 1) ? std::vector<ArchiveFormat>{FMT_7Z, FMT_UNZIP}
                                     : std::vector<ArchiveFormat>{FMT_UNZIP, FMT_7Z};
    return {target};
}

// Extracts the new archive into "~<name>.chk\" with the first extraction row
// that can be loaded and compares the result with the work folder. A source is
// recycled only when this holds: the new archive provably carries everything.
bool verifyOutput(ConverterContext& ctx, RunState& run, const std::string& folderName, const char* outputPath,
                  const std::string& workFolder) {
    std::string checkFolder = run.tempPath + "~" + folderName + ".chk\\";
    if (checkFolder.size() + 1 > BUILT_PATH_SIZE) return false;
    run.removal.waitFor(checkFolder);
    for (ArchiveFormat format : readBackFormats(ctx, ctx.formats)) {
        if (!loadArchiver(ctx, format, false)) continue;
        if (!prepareWorkFolder(checkFolder.c_str())) return false;
        run.checkFolder = checkFolder;
        return extractArchive(ctx, outputPath, checkFolder.c_str(), format) &&
               sameWorkTrees(workFolder.c_str(), checkFolder.c_str());
    }
    return false;
}

// One message after the run naming the sources that were kept because their
// new archive could not be confirmed.
void reportUnverified(const ConverterContext& ctx, const std::vector<std::string>& sources) {
    if (sources.empty()) return;
    const size_t MAX_LINES = 20;
    std::string lines;
    for (size_t i = 0; i < sources.size() && i < MAX_LINES; ++i) {
        if (i) lines += '\n';
        lines += sources[i];
    }
    if (sources.size() > MAX_LINES) lines += "\n…";
    showMessage(ctx.ownerWindow,
                "次の書庫は変換結果を確認できなかったため、ごみ箱へ移動しませんでした。\n\n" + lines,
                MB_OK | MB_ICONINFORMATION);
}

// The archiver's own text for a failure message: its last two lines, each
// cut to 100 characters.
// A DLL may fill the whole buffer without a terminator.
std::string outputExcerpt(const char* output, size_t size) {
    std::wstring text = wideFromAnsi(std::string(output, strnlen(output, size)));
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == L' ' || line.back() == L'\t')) line.pop_back();
        if (line.empty()) continue;
        if (line.size() > 100) line = line.substr(0, 100) + L"\u2026";
        lines.push_back(line);
    }
    std::wstring excerpt;
    for (size_t i = lines.size() > 2 ? lines.size() - 2 : 0; i < lines.size(); ++i) excerpt += L"\n    " + lines[i];
    int bytes = WideCharToMultiByte(CP_ACP, 0, excerpt.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return std::string();
    std::string ansi(bytes - 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, excerpt.c_str(), -1, &ansi[0], bytes, nullptr, nullptr);
    return ansi;
}

void recordFailure(const ConverterContext& ctx, RunState& run, const char* source, bool extraction) {
    run.failures.push_back(
        Failure{source, extraction, ctx.lastArchiverResult, outputExcerpt(ctx.outputBuffer, sizeof ctx.outputBuffer)});
}

// One message after the run naming the archives that were not converted
// because their archiver DLL failed, with its result and its own text.
void reportFailures(const ConverterContext& ctx, const std::vector<Failure>& failures) {
    if (failures.empty()) return;
    const size_t MAX_LINES = 20;
    std::string lines;
    for (size_t i = 0; i < failures.size() && i < MAX_LINES; ++i) {
        const Failure& failure = failures[i];
        char code[40];
        snprintf(code, sizeof code, "%s 0x%X", failure.extraction ? "展開" : "圧縮",
                 static_cast<unsigned>(failure.result));
        if (i) lines += '\n';
        lines += failure.source + "  (" + code + ")" + failure.output;
    }
    if (failures.size() > MAX_LINES) lines += "\n…";
    showMessage(ctx.ownerWindow,
                "次の書庫は変換できませんでした。(かっこ内は失敗した処理とアーカイバ DLL の戻り値です)\n\n" +
                    lines,
                MB_OK | MB_ICONWARNING);
}

// `dll`, when known, is the archiver DLL that cannot carry the names.
void refuseUnconvertibleName(const ConverterContext& ctx, const char* source, const char* dll = nullptr) {
    std::string text =
        std::string(source) + "\n\nの中にファイル名に変換できない文字を含むファイルがあるため、変換できません。";
    if (dll) text += std::string("\n\n") + dll + " は、コードページ 932 にない文字を含むファイル名を扱えません。";
    showMessage(ctx.ownerWindow, text, MB_OK | MB_ICONWARNING);
}

// What the source's own DLL listed before the extraction; `known` only when
// the DLL could list it.
struct SourceListing {
    bool known = false;
    std::vector<ListedFile> files;
};

// Lists the source with its own DLL and refuses it (false, after a message)
// when its entries cannot all be created side by side in a Windows folder:
// extraction would keep one of them and lose the others without a word.
bool examineSource(ConverterContext& ctx, const char* source, ArchiveFormat format, SourceListing& listing) {
    std::vector<ListedEntry> entries;
    if (listArchive(ctx, format, source, entries) != ListingResult::listed) return true;
    switch (checkListing(entries, listing.files)) {
    case ListingVerdict::clean:
        listing.known = true;
        // Names outside the ANSI code page (listed in the source DLL's
        // Unicode mode) go through both DLLs in that mode, when the target
        // DLL has it too; otherwise the archive is refused.
        for (const ListedEntry& entry : entries) {
            if (!entry.outsideAnsi) continue;
            if (!archiverCarriesUnicodeNames(ctx, ctx.formats)) {
                refuseUnconvertibleName(ctx, source, archiverDllName(ctx.formats));
                return false;
            }
            ctx.unicodeNames = 1;
            break;
        }
        return true;
    case ListingVerdict::unconvertibleName:
        // Names shown as "?": the source DLL lists in ANSI text only.
        refuseUnconvertibleName(ctx, source, archiverDllName(format));
        return false;
    case ListingVerdict::clashingNames:
        showMessage(ctx.ownerWindow,
                    std::string(source) +
                        "\n\nの中に、Windows のフォルダーに同時に置けない名前のファイル (大文字と小文字だけが違う名前や、"
                        "使えない文字を含む名前) があるため、変換できません。",
                    MB_OK | MB_ICONWARNING);
        return false;
    }
    return false;
}

void refuseWorkFolder(const ConverterContext& ctx, const char* source) {
    showMessage(ctx.ownerWindow, std::string(source) + "\n\nの作業フォルダを準備できないため、変換できません。",
                MB_OK | MB_ICONWARNING);
}

// Packs the extracted work folder and records the outcome. The work folder is
// checked first: a name without an ANSI form or a path that does not fit
// would silently be missing from the new archive, so the archive is refused.
void packWorkFolder(ConverterContext& ctx, RunState& run, const char* source, const std::string& folderName,
                    const SourceListing& listing, const std::string& workFolder, char* outputPath,
                    size_t outputPathSize) {
    WorkScan scan;
    if (!scanWorkFolder(workFolder.c_str(), scan) && scan.hasLinks) {
        refuseWorkFolder(ctx, source);
        return;
    }
    if (scan.unconvertibleName && !ctx.unicodeNames) {
        refuseUnconvertibleName(ctx, source);
        return;
    }
    if (scan.tooLong || scan.unlistable) {
        refuseLongPath(ctx, source);
        return;
    }

    // The response file never enters a link, so a folder with links is always
    // packed through it (the archiver's own recursion would follow them).
    // Otherwise the archiver's own recursion keeps empty folders, which the
    // response file cannot name.
    struct SortRestore {
        ConverterContext& ctx;
        int32_t saved;
        ~SortRestore() { ctx.sort = saved; }
    } restore{ctx, ctx.sort};
    if (scan.hasLinks) ctx.sort = 1;
    else if (scan.hasEmptyFolder) ctx.sort = 0;

    // Success means a new archive exists: a DLL that reports success without
    // writing one must not cost the user the source. A folder with links is
    // never handed to the archiver without its list: nothing is written then.
    bool listRefused = false;
    ctx.lastArchiverResult = 0;
    ctx.outputBuffer[0] = 0;
    if (!packFolder(ctx, outputPath, outputPathSize, workFolder.c_str(), ctx.formats, scan.hasLinks,
                    &listRefused, &scan) ||
        !isFile(outputPath)) {
        if (listRefused) refuseWorkFolder(ctx, source);
        else recordFailure(ctx, run, source, false);
        return;
    }
    MessageBeep(MB_ICONASTERISK);
    if (ctx.sameTime) copyLastWriteTime(source, outputPath);
    if (!ctx.fAfterDel) return;
    // What is behind a link is not in the new archive: never recycle then.
    // Nor when the extraction did not produce every file the source listed
    // (the read-back tree is compared with the work folder, so the work
    // folder's scan stands for it).
    if (!scan.hasLinks && listing.known && treeHoldsListing(listing.files, scan) &&
        verifyOutput(ctx, run, folderName, outputPath, workFolder)) {
        run.deleteList += source;
        run.deleteList += '\0';
    } else {
        run.unverified.push_back(source);
    }
}

Next convertOne(ConverterContext& ctx, RunState& run, const char* source) {
    // The archiver DLLs and their load errors take the owner from the context
    // too: a window that has closed is no longer handed to them.
    ctx.ownerWindow = liveOwner(ctx.ownerWindow);
    if (ctx.notConvSfx && isExeFile(source)) return Next::nextEntry;

    ArchiveFormat sourceFormat = identifyFormat(source);
    if (sourceFormat == FORMAT_UNKNOWN) {
        showMessage(ctx.ownerWindow,
                    std::string(source) + "\n\nは書庫と認識できないか、または未対応の形式です。",
                    MB_OK | MB_ICONWARNING);
        return Next::nextEntry;
    }
    if (strlen(source) >= SUPPLIED_PATH_SIZE) {
        refuseLongPath(ctx, source);
        return Next::nextEntry;
    }

    if (run.firstArchive) {
        // The conversion dialog, shown before the first archive that is
        // converted, owned by the window that was in front at the drop.
        HWND foreground = GetForegroundWindow();
        if (!setSourceFolder(ctx, source)) {
            refuseLongPath(ctx, source);
            return Next::nextEntry;
        }
        if (foreground && !IsWindow(foreground)) foreground = GetDesktopWindow();
        if (showConversionDialog(foreground, archiverComponentVersions) == -1) return Next::stopRun;
        run.firstArchive = false;
    }

    std::string stem = stemOf(source);
    std::string folderName = folderNameFor(run, stem);
    std::string workFolder = run.tempPath + "~" + folderName + "\\";
    char outputPath[BUILT_PATH_SIZE];
    if (run.tempPath.empty() || stem.size() + 1 > BUILT_PATH_SIZE ||
        workFolder.size() + 1 > BUILT_PATH_SIZE ||
        !makeOutputName(ctx, stem.c_str(), ctx.formats, ctx.sfxMode != 0, outputPath, sizeof outputPath)) {
        refuseLongPath(ctx, source);
        return Next::nextEntry;
    }

    if (ctx.askSameConvert == 0 && isSameFormatConversion(sourceFormat, ctx.formats, source, outputPath)) {
        int answer = showMessage(ctx.ownerWindow, "同形式書庫の変換を指定しました。\n\n実行しますか？",
                                 MB_YESNOCANCEL | MB_ICONWARNING);
        if (answer == IDCANCEL) return Next::stopRun;
        if (answer != IDYES) return Next::nextEntry;
    }

    // 7-zip32.dll may stand in for the ZIP DLLs for this archive only.
    struct TargetRestore {
        ConverterContext& ctx;
        ArchiveFormat savedTarget;
        ~TargetRestore() {
            ctx.formats = savedTarget;
            ctx.unicodeNames = 0;   // the DLLs' Unicode mode is for this archive only
        }
    } restore{ctx, ctx.formats};
    if (sourceFormat == FMT_UNZIP && (ctx.fUse7ZipLib & 1)) sourceFormat = FMT_7Z;
    if (ctx.formats == FMT_ZIP && (ctx.fUse7ZipLib & 2)) ctx.formats = FMT_7Z;

    if (!loadArchiver(ctx, ctx.formats, true)) return Next::stopRun;
    if (!loadArchiver(ctx, sourceFormat, true)) return Next::nextEntry;

    SourceListing listing;
    if (!examineSource(ctx, source, sourceFormat, listing)) return Next::nextEntry;

    // A work folder left by a run that ended abnormally would make the
    // extraction fail (7-zip32.dll creates the folder itself) or mix in
    // foreign files. A link at that name is only unlinked, never entered.
    // The previous archive's folder of the same name must be gone first.
    run.removal.waitFor(workFolder);
    if (!prepareWorkFolder(workFolder.c_str())) {
        refuseWorkFolder(ctx, source);
        return Next::nextEntry;
    }

    ctx.lastArchiverResult = 0;
    ctx.outputBuffer[0] = 0;
    // An extraction that reports success without leaving its folder failed.
    DWORD extracted = INVALID_FILE_ATTRIBUTES;
    if (extractArchive(ctx, source, workFolder.c_str(), sourceFormat))
        extracted = GetFileAttributesA(workFolder.c_str());
    if (extracted != INVALID_FILE_ATTRIBUTES && (extracted & FILE_ATTRIBUTE_DIRECTORY))
        packWorkFolder(ctx, run, source, folderName, listing, workFolder, outputPath, sizeof outputPath);
    else
        recordFailure(ctx, run, source, true);
    std::vector<std::string> finished{workFolder};
    if (!run.checkFolder.empty()) finished.push_back(run.checkFolder);
    run.checkFolder.clear();
    run.removal.start(std::move(finished));
    return Next::nextEntry;
}

std::string temporaryFolder() {
    char buffer[BUILT_PATH_SIZE];
    DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) return std::string();
    std::string folder(buffer, length);
    addTrailingBackslash(folder);
    return folder;
}

}  // namespace

void prepareDropContext(ConverterContext& ctx) {
    probeArchivers(ctx);
    ctx.aceDialogs = &converterAceDialogs;
}

bool convertAll(ConverterContext& ctx, const char* inputList) {
    loadSettings(ctx);
    RunState run;
    run.tempPath = temporaryFolder();
    for (const char* entry = inputList; *entry; entry += strlen(entry) + 1) {
        if (convertOne(ctx, run, entry) == Next::stopRun) break;
    }
    run.removal.wait();
    if (!run.deleteList.empty()) {
        run.deleteList += '\0';
        moveToRecycleBin(run.deleteList.data(), run.deleteList.size());
    }
    reportFailures(ctx, run.failures);
    reportUnverified(ctx, run.unverified);
    return true;
}

bool removeTree(const char* folder) { return removeWorkTree(folder); }

bool moveToRecycleBin(const char* list, size_t byteCount) {
    if (!isNtPlatform()) {
        SHFILEOPSTRUCTA operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = list;
        operation.fFlags = FOF_ALLOWUNDO | FOF_SILENT;
        return SHFileOperationA(&operation) == 0;
    }
    typedef int(WINAPI * FileOperationW)(LPSHFILEOPSTRUCTW);
    HMODULE shell32 = GetModuleHandleA("shell32.dll");
    FileOperationW fileOperationW =
        shell32 ? reinterpret_cast<FileOperationW>(GetProcAddress(shell32, "SHFileOperationW")) : nullptr;
    if (!fileOperationW) return false;
    int wideLength = MultiByteToWideChar(CP_ACP, 0, list, static_cast<int>(byteCount), nullptr, 0);
    if (wideLength <= 0) return false;
    std::vector<wchar_t> wide(wideLength + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, list, static_cast<int>(byteCount), wide.data(), wideLength);
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = wide.data();
    operation.fFlags = FOF_ALLOWUNDO | FOF_SILENT;
    return fileOperationW(&operation) == 0;
}
