#pragma once
// Temporary folders and files for tests that work on the file system. Paths
// are ANSI (code page 932), the form the converter works with.
#include <string>
#include <vector>

// A new empty folder below the temporary folder, removed with everything in
// it when the object goes away. path() ends in a backslash.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& tag = "t");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + relative; }

private:
    std::string path_;
};

// Deletes a folder and everything below it (ANSI path).
void removeTree(const std::string& folder);

// The names of the files (not folders) in `folder` (ending in a backslash)
// that match `pattern`, whatever their script.
std::vector<std::wstring> filesIn(const std::wstring& folder, const std::wstring& pattern = L"*");

// Creates the files named (relative, ANSI, backslash-separated) below the
// folder, with their parent folders; a name ending in a backslash makes an
// empty folder. Each file's content is its own relative name.
void makeTree(const std::string& folder, const std::vector<std::string>& relativeNames);

bool writeBytes(const std::string& path, const std::string& bytes);
std::string readBytes(const std::string& path);   // "" when unreadable
bool pathExists(const std::string& path);

// Splits text at CR LF; a missing final CR LF is reported as a last line
// prefixed with "<no CRLF>".
std::vector<std::string> crlfLines(const std::string& text);
