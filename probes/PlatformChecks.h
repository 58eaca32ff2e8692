// Thin Win32 shells that ask the running system for its version and native architecture;
// the decisions live in PlatformRules. Stateless, callable from any thread.
//
// Functions: IsVistaOrLater, Is32BitSystem.
#ifndef PROBES_PLATFORMCHECKS_H
#define PROBES_PLATFORMCHECKS_H

// 1 when the system reports Windows NT 6.0 or later, or a newer platform; 0 when it
// reports something older or the version query fails.
int IsVistaOrLater();

// 1 when the native architecture is neither x64 nor Itanium, or cannot be learnt because
// kernel32 lacks GetNativeSystemInfo; 0 on a 64-bit system, also from a 32-bit process.
int Is32BitSystem();

#endif
