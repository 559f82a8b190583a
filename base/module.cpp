#include "base/module.h"

HINSTANCE moduleInstance = nullptr;
