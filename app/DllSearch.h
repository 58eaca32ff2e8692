// Functions: RestrictDllSearch
//
// The program runs elevated, started from wherever the user saved it (Downloads, as a rule),
// where anyone with the user's rights can put DLLs beside it.
#ifndef APP_DLL_SEARCH_H
#define APP_DLL_SEARCH_H

// Makes sure that no DLL is taken from the program's or the current folder from now on.
// Called before anything else of the program runs.
void RestrictDllSearch();

#endif
