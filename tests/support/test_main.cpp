// main() of every test program: dialogs load from the program's own
// resources, as they would from Veltrox.dll.
#include <gtest/gtest.h>
#include <windows.h>
#include "base/module.h"

int main(int argc, char** argv) {
    moduleInstance = GetModuleHandleA(nullptr);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
