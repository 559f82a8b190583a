// Converts N small stand-in LZH archives to 7z in one run of convertAll and
// reports the time per archive spent by the converter itself (identification,
// naming, work folder, removal, timestamp), that is the whole run minus the
// archiver calls. The archiver calls are timed by replaying the logged command
// lines against the same stand-in DLLs in the same order and folders.
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "base/converter_context.h"
#include "base/wide_text.h"
#include "engine/driver.h"
#include "base/module.h"
#include "ui/resources/resource.h"
#include "base/settings.h"
#include "support/dialog_driver.h"
#include "support/scratch_folder.h"
#include "support/standins.h"
#include "support/text.h"

namespace {

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Runs every logged command call again and returns the seconds spent in them.
double replay(const std::vector<StandinCall>& calls) {
    typedef int(WINAPI * Command)(HWND, LPCSTR, LPSTR, DWORD);
    std::vector<char> output(32768);
    double total = 0;
    for (const StandinCall& call : calls) {
        HMODULE module = LoadLibraryA(call.dll.c_str());
        Command command = module ? reinterpret_cast<Command>(GetProcAddress(module, call.exportName.c_str())) : nullptr;
        if (!command) continue;
        SetCurrentDirectoryA(call.currentFolder.c_str());
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        command(nullptr, call.commandLine.c_str(), output.data(), 32768);
        QueryPerformanceCounter(&b);
        total += seconds(a, b);
        FreeLibrary(module);
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    moduleInstance = GetModuleHandleA(nullptr);
    int count = argc > 1 ? std::atoi(argv[1]) : 200;
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    ScratchFolder source("bsrc"), dest("bdst");

    std::wstring inputList;
    for (int i = 0; i < count; ++i) {
        StandinArchive archive;
        StandinEntry entry;
        entry.name = "file.txt";
        entry.data = "data " + std::to_string(i);
        archive.entries.push_back(entry);
        std::string path = source / ("a" + std::to_string(i) + ".lzh");
        writeStandinArchive(path, archive);
        inputList += wideFromAnsi(path);
        inputList += L'\0';
    }
    inputList += L'\0';
    const char* zero[] = {"fCurrent", "fAfterDel", "SaveConvertType", "fUse7ZipLib", "NotConvSfx", "Sort"};
    for (const char* name : zero) writeDword("option", name, 0);
    writeDword("option", "SameTime", 1);
    writeDword("option", "AskSameConvert", 1);

    // The clock starts when the user presses OK in the conversion dialog.
    LARGE_INTEGER start, end;
    {
        DialogDriver driver([&](DialogDriver& d) {
            SeenWindow dialog = d.waitFor("書庫を他の形式に変換して保存");
            d.click(dialog, IDC_CONV_7Z);
            d.setText(dialog, IDC_CONV_DEST, fromAnsi(dest.path()));
            QueryPerformanceCounter(&start);
            d.click(dialog, IDOK);
        });
        ConverterContext ctx;
        prepareDropContext(ctx);
        convertAll(ctx, inputList.data());
        QueryPerformanceCounter(&end);
        driver.finish(false);
    }
    std::vector<StandinCall> calls = readStandinCommands(dlls.logPath());
    int converted = 0;
    for (int i = 0; i < count; ++i) converted += pathExists(dest / ("a" + std::to_string(i) + ".7z"));

    double whole = seconds(start, end);
    double inDlls = replay(calls);
    std::printf("archives: %d, converted: %d, archiver calls: %zu\n", count, converted, calls.size());
    std::printf("run without the dialog: %.3f s (%.2f ms per archive)\n", whole, 1000 * whole / count);
    std::printf("archiver calls (replayed): %.3f s (%.2f ms per archive)\n", inDlls, 1000 * inDlls / count);
    std::printf("converter overhead: %.2f ms per archive\n", 1000 * (whole - inDlls) / count);
    // Of which the success beep (a system sound, played by the platform):
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    for (int i = 0; i < 20; ++i) MessageBeep(MB_ICONASTERISK);
    QueryPerformanceCounter(&b);
    std::printf("  of which the success beep: %.2f ms per archive\n", 1000 * seconds(a, b) / 20);
    return converted == count ? 0 : 1;
}
