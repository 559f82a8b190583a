#pragma once
// A context as a drop makes it: the record's defaults, then the probe of the
// archiver DLLs installed now and the converter's ACE dialogs.
#include "engine/driver.h"

struct DropContext : ConverterContext {
    DropContext() { prepareDropContext(*this); }
};
