#include "shell/module.h"

HINSTANCE moduleInstance = nullptr;
