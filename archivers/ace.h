#pragma once
#include "engine/converter_context.h"

// Extracts an ACE archive into workFolder through unacev2.dll's callback
// interface (ctx.hUnacev2 is loaded). True on success.
bool extractAce(ConverterContext& ctx, const char* archivePath, const char* workFolder);
