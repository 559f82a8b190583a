#include "hostlist.h"

#include "hostrun.h"
#include "unicode_mode.h"

#include "archivers/individual_info.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Item {
  std::string name;  // code page 932, "/" separated
  DWORD size;
  bool folder;
};

struct Listing {
  std::vector<Item> items;
  size_t next = 0;
  FILETIME opened, stagingStart, stagingEnd;   // for HOSTARC_TIMES
};

double unixSeconds(const FILETIME& time) {
  ULONGLONG ticks = (ULONGLONG)time.dwHighDateTime << 32 | time.dwLowDateTime;
  return (double)(ticks - 116444736000000000ULL) / 1e7;
}

FILETIME nowTime() {
  FILETIME time;
  GetSystemTimeAsFileTime(&time);
  return time;
}

// With HOSTARC_TIMES naming a host file, appends "KIND START END": "listing"
// from OpenArchive to CloseArchive, "staged" the extraction inside it, "take"
// an extraction served from the staged tree.
void appendTime(const char* kind, const FILETIME& start, const FILETIME& end) {
  WCHAR target[1024];
  DWORD n = GetEnvironmentVariableW(L"HOSTARC_TIMES", target, 1024);
  if (n == 0 || n >= 1024) return;
  typedef WCHAR*(CDECL* DosNameFn)(const char*);
  DosNameFn toDos = (DosNameFn)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name");
  int bytes = WideCharToMultiByte(CP_UTF8, 0, target, -1, nullptr, 0, nullptr, nullptr);
  std::string unixName((size_t)bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, target, -1, &unixName[0], bytes, nullptr, nullptr);
  WCHAR* dos = toDos ? toDos(unixName.c_str()) : nullptr;
  if (!dos) return;
  char line[128];
  int length = snprintf(line, sizeof line, "%s %.3f %.3f\n", kind, unixSeconds(start), unixSeconds(end));
  HANDLE file = CreateFileW(dos, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  HeapFree(GetProcessHeap(), 0, dos);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  if (length > 0) WriteFile(file, line, (DWORD)length, &written, nullptr);
  CloseHandle(file);
}

bool isDots(const wchar_t* name) { return !wcscmp(name, L".") || !wcscmp(name, L".."); }

void removeTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (isDots(found.cFileName)) continue;
      std::wstring path = folder + L"\\" + found.cFileName;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(path);
      else DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

// Everything below `folder`, a folder before its content.
void walk(const std::wstring& folder, const std::wstring& relative, std::vector<Item>& items) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\" + relative + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (isDots(found.cFileName)) continue;
    std::wstring name = relative + found.cFileName;
    bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    std::wstring shown = name;
    for (wchar_t& c : shown)
      if (c == L'\\') c = L'/';
    items.push_back(Item{fromWide(shown, hostTextCodePage()), isFolder ? 0 : found.nFileSizeLow, isFolder});
    if (isFolder) walk(folder, name + L"\\", items);
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// The archive file's identity: its full path, size and last write time.
struct Identity {
  std::wstring path;
  WIN32_FILE_ATTRIBUTE_DATA data;
  bool read(const std::wstring& archive) {
    path = fullPathOf(archive);
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != 0;
  }
  bool same(const Identity& other) const {
    return lstrcmpiW(path.c_str(), other.path.c_str()) == 0 && data.nFileSizeLow == other.data.nFileSizeLow &&
           data.nFileSizeHigh == other.data.nFileSizeHigh &&
           CompareFileTime(&data.ftLastWriteTime, &other.data.ftLastWriteTime) == 0;
  }
};

// The tree the last listing extracted, until an extraction takes it or
// another call makes it stale; removed when the DLL is unloaded.
struct Staged {
  bool present = false;
  Identity archive;
  std::wstring folder;
  void drop() {
    if (present) removeTree(folder);
    present = false;
  }
  ~Staged() { drop(); }
} staged;

// Names of HOSTARC_LISTING_EXTRA that apply to the archive `fileName`.
std::vector<std::string> extraNames(const std::wstring& fileName) {
  std::vector<std::string> names;
  DWORD n = GetEnvironmentVariableW(L"HOSTARC_LISTING_EXTRA", nullptr, 0);
  if (n <= 1) return names;
  std::wstring spec(n, L'\0');
  spec.resize(GetEnvironmentVariableW(L"HOSTARC_LISTING_EXTRA", &spec[0], n));
  size_t pos = 0;
  while (pos < spec.size()) {
    size_t end = spec.find(L'|', pos);
    if (end == std::wstring::npos) end = spec.size();
    std::wstring item = spec.substr(pos, end - pos);
    pos = end + 1;
    size_t arrow = item.find(L'>');
    if (arrow != std::wstring::npos) {
      if (lstrcmpiW(item.substr(0, arrow).c_str(), fileName.c_str()) != 0) continue;
      item = item.substr(arrow + 1);
    }
    if (!item.empty()) names.push_back(fromWide(item, hostTextCodePage()));
  }
  return names;
}

}  // namespace

HANDLE hostOpenArchive(const char* format, LPCSTR archive) {
  FILETIME opened = nowTime();
  staged.drop();
  if (!archive) return nullptr;
  Identity identity;
  if (!identity.read(toWide(archive, hostTextCodePage()))) return nullptr;
  static unsigned counter = 0;
  WCHAR temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return nullptr;
  // The staging folder is named to the host tools in the DLL's text: the
  // short form of a temporary folder that the ANSI code page cannot name.
  WCHAR shortTemp[MAX_PATH + 1];
  DWORD shortLength = GetShortPathNameW(temp, shortTemp, MAX_PATH + 1);
  if (shortLength > 0 && shortLength <= MAX_PATH) wcscpy(temp, shortTemp);
  wchar_t name[64];
  swprintf(name, 64, L"hostlist-%lu-%u", (unsigned long)GetCurrentProcessId(), ++counter);
  std::wstring folder = fullPathOf(std::wstring(temp) + name);
  removeTree(folder);
  char output[4096];
  FILETIME stagingStart = nowTime();
  if (hostExtract(format, archive, fromWide(folder, hostTextCodePage()) + "\\", output, sizeof output) != 0) {
    removeTree(folder);
    return nullptr;
  }
  Listing* listing = new Listing;
  listing->opened = opened;
  listing->stagingStart = stagingStart;
  listing->stagingEnd = nowTime();
  walk(folder, L"", listing->items);
  size_t slash = identity.path.find_last_of(L'\\');
  for (const std::string& extra : extraNames(identity.path.substr(slash + 1)))
    listing->items.push_back(Item{extra, 5, false});
  staged.present = true;
  staged.archive = identity;
  staged.folder = folder;
  return reinterpret_cast<HANDLE>(listing);
}

int hostCloseArchive(HANDLE handle) {
  Listing* listing = reinterpret_cast<Listing*>(handle);
  if (listing) {
    appendTime("listing", listing->opened, nowTime());
    appendTime("staged", listing->stagingStart, listing->stagingEnd);
  }
  delete listing;
  return 0;
}

int hostFindEntry(HANDLE handle, LPCSTR pattern, void* record) {
  Listing* listing = reinterpret_cast<Listing*>(handle);
  if (!listing || !record) return 1;
  if (pattern) listing->next = 0;
  if (listing->next >= listing->items.size()) return -1;
  const Item& item = listing->items[listing->next++];
  IndividualInfo& out = *static_cast<IndividualInfo*>(record);
  memset(&out, 0, sizeof out);
  out.dwOriginalSize = out.dwCompressedSize = item.size;
  lstrcpynA(out.szFileName, item.name.c_str(), sizeof out.szFileName);
  lstrcpynA(out.szAttribute, item.folder ? "D" : "A", sizeof out.szAttribute);
  return 0;
}

bool takeStagedExtraction(const std::wstring& archive, const std::wstring& dir) {
  if (!staged.present) return false;
  FILETIME start = nowTime();
  Identity identity;
  if (!identity.read(archive) || !identity.same(staged.archive)) {
    staged.drop();
    return false;
  }
  std::wstring target = fullPathOf(dir);
  DWORD attributes = GetFileAttributesW(target.c_str());
  // An existing folder must be empty (RemoveDirectory refuses otherwise).
  if ((attributes != INVALID_FILE_ATTRIBUTES && !RemoveDirectoryW(target.c_str())) ||
      !MoveFileW(staged.folder.c_str(), target.c_str())) {
    staged.drop();
    if (attributes != INVALID_FILE_ATTRIBUTES) CreateDirectoryW(target.c_str(), nullptr);
    return false;
  }
  staged.present = false;
  appendTime("take", start, nowTime());
  return true;
}
