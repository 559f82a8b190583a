// Stand-in for unacev2.dll. Its archives are stand-in archives (see
// support/standin_archive.h); anything may precede them, for example an ACE
// signature so that the converter recognises the file as ACE.
//
// During ACEExtract it plays the script named by the environment variable
// VELTROX_ACE_SCRIPT (one command a line, fields separated by TABs) and
// writes every callback answer to <script>.log:
//
//   info <code>
//   error <type> <code>
//   request <type> <code> [<volume or file name>]
//   state <type> <code> [<operation> <file> <total> <done>]
//   progress-until-cancel <file> <total> <maxReports> <pauseMs>
//   keepgoing                  do not stop at the first answer 2
//
// Log lines: "init ...", "extract ...", "<command> <type> <code> -> <answer>"
// (a password request answered 0 adds " password=<the password handed over>"),
// "result <n>". Any answer 2 cancels: nothing is extracted, result 255.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archivers/ace_interface.h"
#include "support/standin_archive.h"

namespace {

AceGlobalData globalData;
bool initialised = false;
AceArchiveData archiveData;
std::string archiveName;

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::vector<std::string> scriptLines(const char* path) {
    std::vector<std::string> lines;
    std::string text;
    if (!readWholeFile(path, text)) return lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool isStandinArchive(const char* path, StandinArchive* archive) {
    std::string bytes;
    StandinArchive read;
    if (!path || !readWholeFile(path, bytes) || !decodeStandinArchive(bytes, read)) return false;
    if (archive) *archive = read;
    return true;
}

struct Log {
    FILE* file = nullptr;
    ~Log() { if (file) fclose(file); }
    void line(const std::string& text) {
        if (!file) return;
        fprintf(file, "%s\n", text.c_str());
        fflush(file);
    }
};

uint32_t number(const std::vector<std::string>& fields, size_t index) {
    return index < fields.size() ? static_cast<uint32_t>(strtoul(fields[index].c_str(), nullptr, 0)) : 0;
}

std::string field(const std::vector<std::string>& fields, size_t index) {
    return index < fields.size() ? fields[index] : std::string();
}

// Creates every folder on the way to path (up to its last backslash),
// stepping over double-byte characters whose second byte is 0x5C.
void makeFolders(const std::string& path) {
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i]))) {
            ++i;
        } else if (path[i] == '\\' && i > 2) {
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
        }
    }
}

int extractEntries(const StandinArchive& archive, std::string destination) {
    if (!destination.empty() && destination.back() != '\\') destination += '\\';
    for (const StandinEntry& entry : archive.entries) {
        std::string path = destination + entry.name;
        if (entry.folder) {
            makeFolders(path + "\\");
        } else {
            makeFolders(path);
            if (!writeWholeFile(path, entry.data)) return 3;
        }
    }
    return 0;
}

}  // namespace

extern "C" int WINAPI ACEInitDll(AceInitData* init) {
    if (!init) return 1;
    globalData = init->globalData;   // the caller's structure is a local of its own
    initialised = true;
    return 0;
}

extern "C" int WINAPI ACEReadArchiveData(LPCSTR archivePath, AceReadArchiveData* data) {
    if (!data) return 1;
    if (!isStandinArchive(archivePath, nullptr)) return 2;   // archiveData stays null
    archiveName = archivePath;
    memset(&archiveData, 0, sizeof archiveData);
    archiveData.archiveName = archiveName.c_str();
    data->archiveData = &archiveData;
    return 0;
}

extern "C" int WINAPI ACEExtract(LPCSTR archivePath, AceExtractData* extract) {
    if (!initialised || !extract) return 1;
    StandinArchive archive;
    if (!isStandinArchive(archivePath, &archive)) return 2;

    char scriptBuffer[MAX_PATH] = "";
    DWORD scriptLength = GetEnvironmentVariableA("VELTROX_ACE_SCRIPT", scriptBuffer, sizeof scriptBuffer);
    const char* scriptPath = scriptLength > 0 && scriptLength < sizeof scriptBuffer ? scriptBuffer : nullptr;
    std::vector<std::string> script;
    Log log;
    if (scriptPath && *scriptPath) {
        script = scriptLines(scriptPath);
        log.file = fopen((std::string(scriptPath) + ".log").c_str(), "wb");
    }

    char text[1024];
    snprintf(text, sizeof text, "init %lu %lu %lu %s tempdir=%s", (unsigned long)globalData.maxArchiveTestBytes,
             (unsigned long)globalData.maxFileBufferSize, (unsigned long)globalData.commentBufferSize,
             globalData.commentBuffer ? "comment" : "nocomment", globalData.tempDir ? globalData.tempDir : "(null)");
    log.line(text);
    log.line(std::string("extract sourcedir=") + (extract->sourceDir ? extract->sourceDir : "(null)") +
             " filelist=" + (extract->fileList ? extract->fileList : "(null)") +
             " exclude=" + (extract->excludeList ? extract->excludeList : "(null)") +
             " fullmatch=" + std::to_string(extract->fullMatch) +
             " excludepath=" + std::to_string(extract->excludePath) +
             " dest=" + (extract->destinationDir ? extract->destinationDir : "(null)"));

    bool keepGoing = false;
    bool cancelled = false;
    for (const std::string& line : script) {
        if (cancelled && !keepGoing) break;
        std::vector<std::string> f = splitTabs(line);
        const std::string& command = f[0];
        if (command.empty() || command[0] == '#') continue;
        if (command == "keepgoing") {
            keepGoing = true;
            continue;
        }

        AceArchiveData volume;
        memset(&volume, 0, sizeof volume);
        AceFileData file;
        memset(&file, 0, sizeof file);
        AceProgressData progress;
        memset(&progress, 0, sizeof progress);
        AceCallbackData data;
        memset(&data, 0, sizeof data);
        data.globalData = &globalData;
        data.archiveData = &archiveData;
        std::string name;

        if (command == "progress-until-cancel") {
            // Operation-3 progress reports until one is answered 2.
            name = field(f, 1);
            file.fileName = name.c_str();
            data.structureType = ACE_TYPE_PROGRESS;
            data.code = ACE_STATE_PROGRESS;
            data.operation = ACE_OPERATION_EXTRACT;
            data.fileData = &file;
            data.progressData = &progress;
            progress.totalBytes = number(f, 2);
            uint32_t reports = number(f, 3);
            DWORD pause = number(f, 4);
            int answer = 0;
            uint32_t i = 0;
            for (; i < reports && answer == 0; ++i) {
                progress.processedBytes = static_cast<uint32_t>(
                    (static_cast<uint64_t>(progress.totalBytes) * i) / (reports ? reports : 1));
                answer = globalData.stateCallback(&data);
                if (answer == 0) Sleep(pause);
            }
            snprintf(text, sizeof text, "%s reports=%lu -> %d", command.c_str(), (unsigned long)i, answer);
            log.line(text);
            if (answer == ACE_CALLBACK_CANCEL) cancelled = true;
            continue;
        }

        AceCallback callback = nullptr;
        if (command == "info") {
            callback = globalData.infoCallback;
            data.structureType = ACE_TYPE_GLOBAL;
            data.code = number(f, 1);
        } else {
            data.structureType = number(f, 1);
            data.code = number(f, 2);
            if (command == "error") callback = globalData.errorCallback;
            if (command == "request") callback = globalData.requestCallback;
            if (command == "state") callback = globalData.stateCallback;
            if (command == "request" && data.structureType == ACE_TYPE_ARCHIVE) {
                name = field(f, 3);
                volume.archiveName = name.c_str();
                data.archiveData = &volume;
            } else if (command == "state") {
                data.operation = number(f, 3);
                name = field(f, 4);
                progress.totalBytes = number(f, 5);
                progress.processedBytes = number(f, 6);
                file.fileName = name.c_str();
                data.fileData = &file;
                data.progressData = &progress;
            } else {
                name = f.size() > 3 ? f[3] : std::string("standin.txt");
                file.fileName = name.c_str();
                data.fileData = &file;
            }
        }
        if (!callback) {
            log.line("unknown " + line);
            continue;
        }
        int answer = callback(&data);
        std::string entry = command + " " + std::to_string(data.structureType) + " " +
                            std::to_string(data.code) + " -> " + std::to_string(answer);
        if (command == "request" && data.code == ACE_REQUEST_PASSWORD && answer == ACE_CALLBACK_OK)
            entry += std::string(" password=") + (extract->decryptPassword ? extract->decryptPassword : "(null)");
        log.line(entry);
        if (answer == ACE_CALLBACK_CANCEL) cancelled = true;
    }

    int result = cancelled ? 255 : extractEntries(archive, extract->destinationDir ? extract->destinationDir : "");
    log.line("result " + std::to_string(result));
    return result;
}
