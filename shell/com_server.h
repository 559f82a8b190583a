#pragma once
// The in-process COM server: the drop-handler class, its class factory and
// the module-wide object count that decides whether the module may unload.
#include <windows.h>
#include <shlobj.h>
#include "shell/class_id.h"

// Factories and drop handlers alive in this process. Changed only through
// the Interlocked functions: several shell threads may create and release
// objects at once.
extern LONG liveObjectCount;

// The bodies of DllGetClassObject and DllCanUnloadNow.
HRESULT getClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
HRESULT canUnloadNow();

// One drop: context, gathering, conversion; the context is destroyed on
// every way out and no exception escapes. Refuses (with a message) a drop
// while another conversion runs in this process or this user session.
void runDrop(IDataObject* dataObject);
