// What Veltrox.dll's drop handler does on Drop: one whole conversion, one at
// a time, with the current folder kept out of the DLL search.
#include "shell/com_server.h"
#include "shell/drop_data.h"
#include "base/converter_context.h"
#include "engine/driver.h"
#include "base/handles.h"
#include "ui/dialogs.h"
#include <string>
#include <vector>

namespace {

// Keeps the current folder out of the DLL search while a drop runs: the work
// folder, full of extracted files, is the current folder during compression.
// The previous setting is put back on every way out.
class DllSearchGuard {
public:
    DllSearchGuard() {
        DWORD length = GetDllDirectoryA(0, nullptr);
        if (length > 1) {
            std::vector<char> buffer(length + 1, '\0');
            DWORD got = GetDllDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
            if (got > 0 && got < buffer.size()) previous_.assign(buffer.data(), got);
        }
        char system[MAX_PATH];
        UINT systemLength = GetSystemDirectoryA(system, sizeof system);
        if (systemLength > 0 && systemLength < sizeof system) SetDllDirectoryA(system);
    }
    ~DllSearchGuard() { SetDllDirectoryA(previous_.empty() ? nullptr : previous_.c_str()); }
    DllSearchGuard(const DllSearchGuard&) = delete;
    DllSearchGuard& operator=(const DllSearchGuard&) = delete;

private:
    std::string previous_;
};

// Set while a drop of this process converts. The session-wide lock below is
// held by a thread and would let the same thread in again (the shell can
// deliver a second drop while the first one's dialog is up), so the process
// keeps its own flag as well.
LONG dropRunning = 0;

class RunningFlag {
public:
    RunningFlag() : taken_(InterlockedCompareExchange(&dropRunning, 1, 0) == 0) {}
    ~RunningFlag() {
        if (taken_) InterlockedExchange(&dropRunning, 0);
    }
    bool taken() const { return taken_; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool taken_;
};

// One conversion at a time in the user's session, across processes: every
// conversion of an archive uses the work folder %TEMP%\~<stem>\, so two
// processes converting at once (a 64-bit drop's host beside a 32-bit
// program's file dialog, or two hosts) would remove each other's files.
// A mutex left behind by a process that died mid-conversion is taken over.
const char CONVERSION_MUTEX[] = "Local\\Veltrox.Conversion";

class SessionLock {
public:
    SessionLock() {
        mutex_.reset(CreateMutexA(nullptr, FALSE, CONVERSION_MUTEX));
        if (!mutex_) mutex_.reset(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, CONVERSION_MUTEX));
        if (!mutex_) return;
        DWORD result = WaitForSingleObject(mutex_.get(), 0);
        held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    }
    ~SessionLock() {
        if (held_) ReleaseMutex(mutex_.get());
    }
    bool held() const { return held_; }
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

private:
    KernelHandle mutex_;
    bool held_ = false;
};

void refuseBusy() {
    MessageBoxA(nullptr, "変換処理の実行中です。終了してから再度実行してください。", MESSAGE_CAPTION,
                MB_OK | MB_ICONWARNING);
}

void convertDrop(IDataObject* dataObject) {
    ConverterContext ctx;
    prepareDropContext(ctx);
    const wchar_t* inputs = gatherDroppedInputs(ctx, dataObject);
    if (inputs) convertAll(ctx, inputs);
}

}  // namespace

void runDrop(IDataObject* dataObject) {
    try {
        RunningFlag running;
        if (!running.taken()) {
            refuseBusy();
            return;
        }
        SessionLock lock;
        if (!lock.held()) {
            refuseBusy();
            return;
        }
        DllSearchGuard dllSearch;
        convertDrop(dataObject);
    } catch (...) {
        // The context, the flag, the lock and the DLL search setting have
        // been restored by their destructors; the shell only ever hears S_OK.
    }
}
