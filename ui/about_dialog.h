#pragma once
// About dialog 100: the converter's version and the installed archiver components.
#include <windows.h>
#include "base/component_versions.h"
#include <cstddef>
#include <cstdint>
#include <string>

// The component lines come from `versions`.
INT_PTR showAboutDialog(HWND owner, const ComponentVersions& versions);

// Version text of a version-number source: "not installed." for 0, else
// the number / 100 with two decimals ("2.53").
std::string versionNumberText(uint32_t version);
// Puts `version` in place of the first "%s" of a component line template.
std::string fillComponentLine(const std::string& lineTemplate, const std::string& version);
