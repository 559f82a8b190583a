#include "archivers/ace.h"

// Placeholder until the callback-driven extraction exists.
bool extractAce(ConverterContext&, const char*, const char*) { return false; }
