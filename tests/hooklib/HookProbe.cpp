// A module that only the tests load, so its presence tells who loaded or unloaded it.
extern "C" __declspec(dllexport) int HookProbeAnswer() { return 42; }
