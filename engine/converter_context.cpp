#include "engine/converter_context.h"
ConverterContext* currentContext = nullptr;
ConverterContext::ConverterContext() {}
ConverterContext::~ConverterContext() {}
void probeArchivers(ConverterContext&) {}
