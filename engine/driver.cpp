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
#include "archivers/command_line.h"
#include "archivers/extract.h"
#include "archivers/listing.h"
#include "archivers/unicode_mode.h"
#include "engine/listing_check.h"
#include "archivers/versions.h"
#include "base/ansi_path.h"
#include "base/module.h"
#include "base/settings.h"
#include "base/wide_text.h"
#include "ui/ace_dialogs.h"
#include "ui/dialogs.h"
#include <shellapi.h>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Paths the driver builds (stem, work folder, output) must fit this many
// bytes with their terminator; paths the shell supplies 260. Both count the
// path as the archiver DLLs are handed it (ANSI text).
const size_t BUILT_PATH_SIZE = 256;
const size_t SUPPLIED_PATH_SIZE = 260;

// The window in front at the drop owns the driver's messages; once it has
// closed, a box owned by it would fail and the user would hear nothing, so
// the box is then shown without an owner.
HWND liveOwner(HWND owner) { return owner && IsWindow(owner) ? owner : nullptr; }

// Messages name files as they are, in any script.
int showMessage(HWND owner, const std::wstring& text, UINT style) {
    return MessageBoxW(liveOwner(owner), text.c_str(), MESSAGE_CAPTION_W, style);
}

void refuseLongPath(const ConverterContext& ctx, const std::wstring& source) {
    showMessage(ctx.ownerWindow, source + L"\n\nはパスが長すぎるため変換できません。", MB_OK | MB_ICONWARNING);
}

// Offset of the file-name part of a path (after its last backslash).
size_t fileNameStart(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? 0 : slash + 1;
}

// Extension of a path's file name from its last ".", or "" without one.
std::wstring extensionOf(const std::wstring& path) {
    size_t name = fileNameStart(path);
    size_t dot = path.find_last_of(L'.');
    return dot == std::wstring::npos || dot < name ? std::wstring() : path.substr(dot);
}

// The source file name without its folder and its last extension.
std::wstring stemOf(const std::wstring& source) {
    size_t name = fileNameStart(source);
    std::wstring file = source.substr(name);
    size_t dot = file.find_last_of(L'.');
    return dot == std::wstring::npos ? file : file.substr(0, dot);
}

// A name as Windows stores it: trailing dots and spaces dropped.
std::wstring windowsFormOf(std::wstring name) {
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
    return name;
}

// The ANSI text of a work-folder name: the name itself, with every character
// that has no ANSI form written as "_" (the folder is the converter's own;
// the new archive keeps the real name).
std::string workFolderNameOf(const std::wstring& name) {
    std::string ansi;
    if (exactAnsiForm(name, ansi)) return ansi;
    ansi.clear();
    for (size_t i = 0; i < name.size(); ++i) {
        size_t units = IS_HIGH_SURROGATE(name[i]) && i + 1 < name.size() ? 2 : 1;
        std::string character;
        if (exactAnsiForm(name.substr(i, units), character)) ansi += character;
        else ansi += '_';
        i += units - 1;
    }
    return ansi;
}

// Folder of the first source archive; a drive root keeps its backslash.
bool setSourceFolder(ConverterContext& ctx, const std::wstring& source) {
    size_t slash = source.find_last_of(L'\\');
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : source.substr(0, slash);
    if (folder.size() == 2) folder += L'\\';
    if (folder.size() + 1 > sizeof ctx.sourceFolder / sizeof ctx.sourceFolder[0]) return false;
    memcpy(ctx.sourceFolder, folder.c_str(), (folder.size() + 1) * sizeof(wchar_t));
    return true;
}

bool isSameFormatConversion(ArchiveFormat source, ArchiveFormat target, const std::wstring& sourcePath,
                            const std::wstring& outputPath) {
    bool sameCode = source == target || (source == FMT_UNZIP && target == FMT_ZIP);
    if (!sameCode) return false;
    std::wstring sourceExtension = extensionOf(sourcePath);
    std::wstring outputExtension = extensionOf(outputPath);
    return !sourceExtension.empty() && !outputExtension.empty() &&
           lstrcmpiW(sourceExtension.c_str(), outputExtension.c_str()) == 0;
}

// Gives the output the source's last-write time; creation and access times
// stay as they are. Nothing happens when either file cannot be opened.
void copyLastWriteTime(const std::wstring& source, const std::wstring& output) {
    FILETIME lastWrite;
    {
        FileHandle in(CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
        if (!in || !GetFileTime(in.get(), nullptr, nullptr, &lastWrite)) return;
    }
    FileHandle out(CreateFileW(output.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (out) SetFileTime(out.get(), nullptr, nullptr, &lastWrite);
}

bool isExeFile(const std::wstring& path) { return lstrcmpiW(extensionOf(path).c_str(), L".exe") == 0; }

// The path with the extension of its file name replaced by ".exe", as the
// self-extracting step names its executable.
std::wstring executablePathOf(const std::wstring& path) {
    std::wstring extension = extensionOf(path);
    return path.substr(0, path.size() - extension.size()) + L".exe";
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
    std::wstring source;
    bool extraction;
    int32_t result;
    std::wstring output;
};

struct RunState {
    std::wstring tempPath;         // ends in a backslash; empty when unusable
    std::string tempAnsi;          // the same folder as the archiver DLLs are handed it
    bool firstArchive = true;
    std::wstring deleteList;       // NUL-terminated paths
    std::vector<std::wstring> unverified;  // converted, but kept: the new archive was not confirmed
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
std::string folderNameFor(RunState& run, const std::wstring& stem) {
    std::string base = workFolderNameOf(windowsFormOf(stem));
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
    std::string checkFolder = run.tempAnsi + "~" + folderName + ".chk\\";
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

// The lines of an end-of-run message: at most 20, then "…".
std::wstring listedLines(const std::vector<std::wstring>& lines) {
    const size_t MAX_LINES = 20;
    std::wstring text;
    for (size_t i = 0; i < lines.size() && i < MAX_LINES; ++i) {
        if (i) text += L'\n';
        text += lines[i];
    }
    if (lines.size() > MAX_LINES) text += L"\n…";
    return text;
}

// One message after the run naming the sources that were kept because their
// new archive could not be confirmed.
void reportUnverified(const ConverterContext& ctx, const std::vector<std::wstring>& sources) {
    if (sources.empty()) return;
    showMessage(ctx.ownerWindow,
                L"次の書庫は変換結果を確認できなかったため、ごみ箱へ移動しませんでした。\n\n" + listedLines(sources),
                MB_OK | MB_ICONINFORMATION);
}

// The archiver's own text for a failure message: its last two lines, each
// cut to 100 characters.
std::wstring outputExcerpt(const std::wstring& text) {
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
    return excerpt;
}

void recordFailure(const ConverterContext& ctx, RunState& run, const std::wstring& source, bool extraction) {
    run.failures.push_back(
        Failure{source, extraction, ctx.lastArchiverResult, outputExcerpt(archiverOutputText(ctx))});
}

// One message after the run naming the archives that were not converted
// because their archiver DLL failed, with its result and its own text.
void reportFailures(const ConverterContext& ctx, const std::vector<Failure>& failures) {
    if (failures.empty()) return;
    std::vector<std::wstring> lines;
    for (const Failure& failure : failures) {
        wchar_t code[40];
        swprintf(code, sizeof code / sizeof code[0], L"%ls 0x%X", failure.extraction ? L"展開" : L"圧縮",
                 static_cast<unsigned>(failure.result));
        lines.push_back(failure.source + L"  (" + code + L")" + failure.output);
    }
    showMessage(ctx.ownerWindow,
                L"次の書庫は変換できませんでした。(かっこ内は失敗した処理とアーカイバ DLL の戻り値です)\n\n" +
                    listedLines(lines),
                MB_OK | MB_ICONWARNING);
}

// `dll`, when known, is the archiver DLL that cannot carry the names.
void refuseUnconvertibleName(const ConverterContext& ctx, const std::wstring& source, const char* dll = nullptr) {
    std::wstring text = source + L"\n\nの中にファイル名に変換できない文字を含むファイルがあるため、変換できません。";
    if (dll) text += L"\n\n" + wideFromAnsi(dll) + L" は、コードページ 932 にない文字を含むファイル名を扱えません。";
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
// `sourceAnsi` is the path the DLL is handed; `source` the one the user sees.
bool examineSource(ConverterContext& ctx, const std::wstring& source, const char* sourceAnsi, ArchiveFormat format,
                   SourceListing& listing) {
    std::vector<ListedEntry> entries;
    if (listArchive(ctx, format, sourceAnsi, entries) != ListingResult::listed) return true;
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
                    source +
                        L"\n\nの中に、Windows のフォルダーに同時に置けない名前のファイル (大文字と小文字だけが違う名前や、"
                        L"使えない文字を含む名前) があるため、変換できません。",
                    MB_OK | MB_ICONWARNING);
        return false;
    }
    return false;
}

void refuseWorkFolder(const ConverterContext& ctx, const std::wstring& source) {
    showMessage(ctx.ownerWindow, source + L"\n\nの作業フォルダを準備できないため、変換できません。",
                MB_OK | MB_ICONWARNING);
}

// The paths of the new archive: `path` as the user will see it, `ansi` (in
// `archivePath`) as the archiver DLL writes it. When the real name has no
// ANSI form the DLL writes a free ASCII name of the converter's own that is
// moved to the real name once the archive is complete.
struct NewArchive {
    AnsiTarget target;
    char archivePath[BUILT_PATH_SIZE];
};

// After the self-extracting step the DLL's file is the executable beside the
// archive: the name to move, and the real name it goes to, follow.
void followExecutable(NewArchive& output) {
    if (output.target.ansi == output.archivePath) return;
    output.target.ansi = output.archivePath;
    output.target.path = executablePathOf(output.target.path);
    if (!output.target.standIn.empty()) output.target.standIn = executablePathOf(output.target.standIn);
}

// Packs the extracted work folder and records the outcome. The work folder is
// checked first: a name without an ANSI form or a path that does not fit
// would silently be missing from the new archive, so the archive is refused.
void packWorkFolder(ConverterContext& ctx, RunState& run, const std::wstring& source, const std::string& folderName,
                    const SourceListing& listing, const std::string& workFolder, NewArchive& output) {
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
    char* outputPath = output.archivePath;
    if (!packFolder(ctx, outputPath, sizeof output.archivePath, workFolder.c_str(), ctx.formats, scan.hasLinks,
                    &listRefused, &scan) ||
        !fileExists(outputPath)) {
        if (listRefused) refuseWorkFolder(ctx, source);
        else recordFailure(ctx, run, source, false);
        // A plain archive that a failed self-extracting step left stays, as
        // it would under a name the DLL could write itself.
        if (fileExists(outputPath)) commitAnsiTarget(output.target);
        return;
    }
    followExecutable(output);
    // What is behind a link is not in the new archive: never recycle then.
    // Nor when the extraction did not produce every file the source listed
    // (the read-back tree is compared with the work folder, so the work
    // folder's scan stands for it). The archive is read back before it moves
    // to its real name, under the name its DLL wrote.
    bool verified = ctx.fAfterDel && !scan.hasLinks && listing.known && treeHoldsListing(listing.files, scan) &&
                    verifyOutput(ctx, run, folderName, outputPath, workFolder);
    if (!commitAnsiTarget(output.target)) {
        recordFailure(ctx, run, source, false);
        return;
    }
    MessageBeep(MB_ICONASTERISK);
    if (ctx.sameTime) copyLastWriteTime(source, output.target.path);
    if (!ctx.fAfterDel) return;
    if (verified) {
        run.deleteList += source;
        run.deleteList += L'\0';
    } else {
        run.unverified.push_back(source);
    }
}

Next convertOne(ConverterContext& ctx, RunState& run, const std::wstring& source) {
    // The archiver DLLs and their load errors take the owner from the context
    // too: a window that has closed is no longer handed to them.
    ctx.ownerWindow = liveOwner(ctx.ownerWindow);
    if (ctx.notConvSfx && isExeFile(source)) return Next::nextEntry;

    ArchiveFormat sourceFormat = identifyFormat(source);
    if (sourceFormat == FORMAT_UNKNOWN) {
        showMessage(ctx.ownerWindow, source + L"\n\nは書庫と認識できないか、または未対応の形式です。",
                    MB_OK | MB_ICONWARNING);
        return Next::nextEntry;
    }
    if (ansiByteLength(source) >= SUPPLIED_PATH_SIZE) {
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

    if (run.tempPath.empty()) {
        refuseWorkFolder(ctx, source);
        return Next::nextEntry;
    }
    std::wstring stem = stemOf(source);
    std::string folderName = folderNameFor(run, stem);
    std::string workFolder = run.tempAnsi + "~" + folderName + "\\";
    std::wstring outputName;
    if (workFolder.size() + 1 > BUILT_PATH_SIZE ||
        !makeOutputName(ctx, stem, ctx.formats, ctx.sfxMode != 0, outputName, BUILT_PATH_SIZE)) {
        refuseLongPath(ctx, source);
        return Next::nextEntry;
    }

    if (ctx.askSameConvert == 0 && isSameFormatConversion(sourceFormat, ctx.formats, source, outputName)) {
        int answer = showMessage(ctx.ownerWindow, L"同形式書庫の変換を指定しました。\n\n実行しますか？",
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

    // The archiver DLLs take ANSI paths: a source, or a new archive, whose
    // path has no ANSI form is handed over in a form of its own (its short
    // name, else a link or copy in the temporary folder; a new archive is
    // written under an ASCII name and moved to its real name).
    AnsiSource sourceForm;
    // A stand-in is made in the temporary folder, beside the work folders.
    if (!prepareAnsiSource(source, run.tempPath, sourceForm)) {
        refuseWorkFolder(ctx, source);
        return Next::nextEntry;
    }
    NewArchive output;
    if (!prepareAnsiTarget(outputName, run.tempPath, output.target)) {
        refuseWorkFolder(ctx, source);
        return Next::nextEntry;
    }
    if (sourceForm.ansi.size() >= SUPPLIED_PATH_SIZE ||
        !copyBounded(output.archivePath, sizeof output.archivePath, output.target.ansi.c_str())) {
        refuseLongPath(ctx, source);
        return Next::nextEntry;
    }

    SourceListing listing;
    if (!examineSource(ctx, source, sourceForm.ansi.c_str(), sourceFormat, listing)) return Next::nextEntry;

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
    if (extractArchive(ctx, sourceForm.ansi.c_str(), workFolder.c_str(), sourceFormat))
        extracted = GetFileAttributesA(workFolder.c_str());
    if (extracted != INVALID_FILE_ATTRIBUTES && (extracted & FILE_ATTRIBUTE_DIRECTORY))
        packWorkFolder(ctx, run, source, folderName, listing, workFolder, output);
    else
        recordFailure(ctx, run, source, true);
    std::vector<std::string> finished{workFolder};
    if (!run.checkFolder.empty()) finished.push_back(run.checkFolder);
    run.checkFolder.clear();
    run.removal.start(std::move(finished));
    return Next::nextEntry;
}

// The temporary folder, and the ANSI form the archiver DLLs are handed (the
// folder itself, else its short form). Both empty when it has neither.
void findTemporaryFolder(RunState& run) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) return;
    std::wstring folder(buffer.data(), length);
    if (folder.back() != L'\\') folder += L'\\';
    std::string ansi;
    if (!ansiPathOf(folder, ansi) || ansi.size() + 1 > BUILT_PATH_SIZE) return;
    addTrailingBackslash(ansi);
    run.tempPath = folder;
    run.tempAnsi = ansi;
}

}  // namespace

void prepareDropContext(ConverterContext& ctx) {
    probeArchivers(ctx);
    ctx.aceDialogs = &converterAceDialogs;
}

bool convertAll(ConverterContext& ctx, const wchar_t* inputList) {
    loadSettings(ctx);
    RunState run;
    findTemporaryFolder(run);
    for (const wchar_t* entry = inputList; *entry; entry += wcslen(entry) + 1) {
        if (convertOne(ctx, run, entry) == Next::stopRun) break;
    }
    run.removal.wait();
    if (!run.deleteList.empty()) {
        run.deleteList += L'\0';
        moveToRecycleBin(run.deleteList.data());
    }
    reportFailures(ctx, run.failures);
    reportUnverified(ctx, run.unverified);
    return true;
}

bool removeTree(const char* folder) { return removeWorkTree(folder); }

bool moveToRecycleBin(const wchar_t* list) {
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = list;
    operation.fFlags = FOF_ALLOWUNDO | FOF_SILENT;
    return SHFileOperationW(&operation) == 0;
}
