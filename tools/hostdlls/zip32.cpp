// zip32.dll: the companion of zip32j.dll; only its version record is asked.
#include "hostrun.h"

// Fills the 64-byte version record; bytes 56 to 58 hold the zip version 3.0.0.
extern "C" void WINAPI ZpVersion(void* record) {
  unsigned char* bytes = static_cast<unsigned char*>(record);
  ZeroMemory(bytes, 64);
  bytes[56] = 3;
  bytes[57] = 0;
  bytes[58] = 0;
}
