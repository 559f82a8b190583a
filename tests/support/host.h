#pragma once
// Reaching the Linux host from a test program running under Wine.
#include <string>

// Unix path of a Windows path (UTF-8 in, UTF-8 out); "" when Wine cannot map it.
std::string unixPath(const std::string& windowsPathUtf8);

// Runs `command` with /bin/sh on the host and waits for it. A Wine process
// cannot wait for a Unix process directly, so the command's exit status is
// written to a file that is polled. Returns the exit status, or -1 when the
// command could not be started or did not end within timeoutMs. The command's
// combined output is stored in *output when given.
int runHostShell(const std::string& command, unsigned timeoutMs = 120000, std::string* output = nullptr);

// Quotes a string for /bin/sh.
std::string shellQuote(const std::string& text);
