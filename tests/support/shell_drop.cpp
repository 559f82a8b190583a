// Tests deliver drops to the installed DLL with the same code as droptool.
#include "tools/droptool/drop_delivery.cpp"
