#pragma once
// Reading the dropped items out of the shell's data object.
#include <windows.h>
#include <objidl.h>
#include <vector>
#include "base/converter_context.h"
#include "engine/gather.h"

// The CF_HDROP items of `data` in drop order, read as UTF-16 names; empty
// names are left out. False when there is no data object or it holds no
// CF_HDROP data in global memory. The storage medium is released before
// returning, on every path.
bool readDroppedItems(IDataObject* data, std::vector<DroppedItem>& items);

// Input gathering for a drop: refuses to start without any archiver DLL, reads
// the dropped items and builds the input list (see gatherInputs). Returns the
// list, or null when nothing is to be converted.
const wchar_t* gatherDroppedInputs(ConverterContext& ctx, IDataObject* data);
