#pragma once
// The archiver DLL convention's entry record (INDIVIDUALINFO), as its
// enumeration exports fill it: the 32-bit layout without padding between
// fields, 558 bytes on every word size.
#include <windows.h>

#pragma pack(push, 1)
struct IndividualInfo {
    DWORD dwOriginalSize;
    DWORD dwCompressedSize;
    DWORD dwCRC;
    UINT uFlag;
    UINT uOSType;
    WORD wRatio;
    WORD wDate;
    WORD wTime;
    char szFileName[513];
    char dummy1[3];
    char szAttribute[8];
    char szMode[8];
};
#pragma pack(pop)
static_assert(sizeof(IndividualInfo) == 558, "INDIVIDUALINFO is 558 bytes");
