/* The control: a program without the restriction, run from the planted folder under the same
   settings. LoadLibrary(argv[1]) searches the program's folder first, so the planted copy is
   what it gets. Prints where the module came from; exit 0 when it loaded at all. */
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    HMODULE module = LoadLibraryA(argv[1]);
    if (module == NULL) {
        printf("%s: not loaded (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, MAX_PATH);
    printf("%s: loaded from %s\n", argv[1], path);
    return 0;
}
