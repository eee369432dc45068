// Stands in for a DLL that someone placed beside the program: loading it is
// all the tests look for.
extern "C" __declspec(dllexport) int VorpaPlanted() { return 1; }
