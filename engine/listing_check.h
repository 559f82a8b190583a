#pragma once
// Checks on an archive's listing, made before it is extracted: whether every
// entry can be created in a Windows folder, and afterwards whether the
// extracted tree holds every file the listing names.
#include "archivers/listing.h"
#include "engine/worktree.h"
#include <cstdint>
#include <string>
#include <vector>

enum class ListingVerdict {
    clean,
    clashingNames,       // names equal ignoring case, or a name Windows cannot create
    unconvertibleName,   // a "?" or a byte sequence without a code page 932 form
};

// A file entry of a listing: its path without "." components, backslash
// separated, in upper case (as Windows compares names).
struct ListedFile {
    std::wstring key;
    uint32_t size = 0;
};

// Whether `component` (one path component, UTF-16) can be a file or folder
// name in a Windows folder: no reserved character or control character, no
// trailing dot or space, no device name (with or without an extension).
bool isCreatableComponent(const std::wstring& component);

// Checks every entry of a listing: two paths equal ignoring case unless both
// are folders (parent folders of a path count as folders), an absolute path,
// a ".." component or a component that cannot be created. On a clean listing
// `files` holds its file entries.
ListingVerdict checkListing(const std::vector<ListedEntry>& entries, std::vector<ListedFile>& files);

// True when every listed file is in the scanned tree under the same path
// (compared ignoring case) as a file of the same size (its low 32 bits, all
// the listing record holds).
bool treeHoldsListing(const std::vector<ListedFile>& files, const WorkScan& scan);
