// The conversion driver: for every input archive, extract into a work folder
// in the temporary folder and pack that folder again in the target format;
// afterwards send the converted sources to the Recycle Bin in one operation.
#include "engine/driver.h"
#include "engine/handles.h"
#include "engine/identify.h"
#include "engine/paths.h"
#include "archivers/binding.h"
#include "archivers/compress.h"
#include "archivers/extract.h"
#include "archivers/versions.h"
#include "ui/dialogs.h"
#include "ui/settings.h"
#include <shellapi.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char CAPTION[] = "Veltrox.dll";
// Paths the driver builds (stem, work folder, output) must fit this many
// bytes with their terminator; paths the shell supplies 260.
const size_t BUILT_PATH_SIZE = 256;
const size_t SUPPLIED_PATH_SIZE = 260;

int showMessage(HWND owner, const std::string& text, UINT style) {
    return MessageBoxA(owner, text.c_str(), CAPTION, style);
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

struct RunState {
    std::string tempPath;          // ends in a backslash; empty when unusable
    bool firstArchive = true;
    std::string deleteList;        // NUL-terminated paths
};

Next convertOne(ConverterContext& ctx, RunState& run, const char* source) {
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
        if (showConversionDialog(foreground) == -1) return Next::stopRun;
        run.firstArchive = false;
    }

    std::string stem = stemOf(source);
    std::string workFolder = run.tempPath + "~" + stem + "\\";
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
        ~TargetRestore() { ctx.formats = savedTarget; }
    } restore{ctx, ctx.formats};
    if (sourceFormat == FMT_UNZIP && (ctx.fUse7ZipLib & 1)) sourceFormat = FMT_7Z;
    if (ctx.formats == FMT_ZIP && (ctx.fUse7ZipLib & 2)) ctx.formats = FMT_7Z;

    if (!loadArchiver(ctx, ctx.formats, true)) return Next::stopRun;
    if (!loadArchiver(ctx, sourceFormat, true)) return Next::nextEntry;

    // A work folder left by a run that ended abnormally would make the
    // extraction fail (7-zip32.dll creates the folder itself) or mix in
    // foreign files.
    if (GetFileAttributesA(workFolder.c_str()) != INVALID_FILE_ATTRIBUTES) removeTree(workFolder.c_str());

    // Success means a new archive exists: a DLL that reports success without
    // writing one must not cost the user the source.
    if (extractArchive(ctx, source, workFolder.c_str(), sourceFormat) &&
        compressFolder(ctx, outputPath, sizeof outputPath, workFolder.c_str(), ctx.formats) &&
        isFile(outputPath)) {
        MessageBeep(MB_ICONASTERISK);
        if (ctx.sameTime) copyLastWriteTime(source, outputPath);
        if (ctx.fAfterDel) {
            run.deleteList += source;
            run.deleteList += '\0';
        }
    }
    removeTree(workFolder.c_str());
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

// Removes a junction or symbolic link itself. RemoveDirectory does that on
// Windows; where it cannot (Wine with a Unix symbolic link to a folder), the
// link is opened as a reparse point and deleted when its handle closes.
void removeLink(const char* path) {
    if (RemoveDirectoryA(path) || DeleteFileA(path)) return;
    FileHandle link(CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_DELETE_ON_CLOSE,
                                nullptr));
}

}  // namespace

bool convertAll(ConverterContext& ctx, const char* inputList) {
    loadSettings(ctx);
    RunState run;
    run.tempPath = temporaryFolder();
    for (const char* entry = inputList; *entry; entry += strlen(entry) + 1) {
        if (convertOne(ctx, run, entry) == Next::stopRun) break;
    }
    if (!run.deleteList.empty()) {
        run.deleteList += '\0';
        moveToRecycleBin(run.deleteList.data(), run.deleteList.size());
    }
    return true;
}

bool removeTree(const char* folder) {
    std::string base(folder);
    addTrailingBackslash(base);
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA((base + "*.*").c_str(), &entry));
    if (!find) return false;
    do {
        std::string path = base + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0) continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // A junction or symbolic link: remove the link, never what it
                // points to (an archive may carry a link to the user's folders).
                removeLink(path.c_str());
            } else {
                removeTree((path + "\\").c_str());
            }
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(find.get(), &entry));
    find.reset();
    SetFileAttributesA(base.c_str(), FILE_ATTRIBUTE_ARCHIVE);
    return RemoveDirectoryA(base.c_str()) != FALSE;
}

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
