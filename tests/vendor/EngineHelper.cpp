// The DLL that the engine variant built with ADPOP_STANDIN_IMPORTS_HELPER imports.
extern "C" __declspec(dllexport) int __cdecl AdPopEngineHelper() {
    return 1;
}
