// Loads the library and ends the process with it still loaded.

#include <windows.h>

int main() {
    return LoadLibraryW(L"AdWarden.dll") != nullptr ? 0 : 1;
}
