#!/usr/bin/env python3
"""Hardening of the i686 release file, read straight from its PE headers.

    check-pe-hardening.py FILE              passes when FILE is hardened as we ship it
    check-pe-hardening.py --faults FILE     passes when each fault put into a copy of FILE
                                            is caught (so a pass above means something)

Checked: relocatable (DYNAMIC_BASE, with its relocations kept) and NX_COMPAT; no section
both writable and executable; no time stamp; imports only from DLLs that Windows maps
from its system folder (KnownDLLs). Any other DLL, such as a MinGW runtime DLL, would be
looked for beside the program first, where a planted copy waits for an elevated run.
"""
import struct
import sys

# KnownDLLs of Windows Vista and 7 (32-bit side too), plus ntdll, which is always mapped
# first. comctl32 and version are not among them: Windows searches for those.
KNOWN_DLLS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll",
    "ntdll.dll", "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "ws2_32.dll",
}
MINGW_RUNTIME = ("libgcc", "libstdc++", "libwinpthread")

RELOCS_STRIPPED, DYNAMIC_BASE, NX_COMPAT = 0x0001, 0x0040, 0x0100
MEM_EXECUTE, MEM_WRITE = 0x20000000, 0x80000000


class Pe:
    def __init__(self, data):
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        self.coff = struct.unpack_from("<I", data, 0x3C)[0] + 4
        if data[self.coff - 4:self.coff] != b"PE\0\0":
            raise ValueError("no PE signature")
        machine, nsect, self.stamp, _, _, opt_size, self.flags = struct.unpack_from("<HHIIIHH", data, self.coff)
        self.opt = self.coff + 20
        if machine != 0x14C or struct.unpack_from("<H", data, self.opt)[0] != 0x10B:
            raise ValueError("not a PE32 i386 file")
        self.dll_flags = struct.unpack_from("<H", data, self.opt + 70)[0]
        self.dirs = [struct.unpack_from("<II", data, self.opt + 96 + 8 * i) for i in range(16)]
        self.data = data
        self.sections = []
        for i in range(nsect):
            at = self.opt + opt_size + 40 * i
            name = data[at:at + 8].rstrip(b"\0").decode("latin-1")
            vsize, va, rsize, raw = struct.unpack_from("<IIII", data, at + 8)
            chars = struct.unpack_from("<I", data, at + 36)[0]
            self.sections.append((name, va, max(vsize, rsize), raw, chars, at + 36))

    def offset(self, rva):
        for _, va, size, raw, _, _ in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("RVA %#x lies in no section" % rva)

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("latin-1")

    def imported_dlls(self):
        # Import descriptors are 20 bytes, name RVA at +12; delay ones 32, name at +4.
        names = []
        for index, size, name_at in ((1, 20, 12), (13, 32, 4)):
            rva = self.dirs[index][0]
            while rva:
                name = struct.unpack_from("<I", self.data, self.offset(rva) + name_at)[0]
                if not name:
                    break
                names.append(self.cstring(name))
                rva += size
        return names


def problems(data):
    pe = Pe(data)
    found = []
    if pe.stamp:
        found.append("time stamp %#x in the file header" % pe.stamp)
    if not pe.dll_flags & DYNAMIC_BASE:
        found.append("no DYNAMIC_BASE")
    elif pe.flags & RELOCS_STRIPPED or not pe.dirs[5][1]:
        found.append("DYNAMIC_BASE without relocations: it could not be moved")
    if not pe.dll_flags & NX_COMPAT:
        found.append("no NX_COMPAT")
    for name, _, _, _, chars, _ in pe.sections:
        if chars & MEM_WRITE and chars & MEM_EXECUTE:
            found.append("section %s is writable and executable" % name)
    for dll in pe.imported_dlls():
        if dll.lower().startswith(MINGW_RUNTIME):
            found.append("imports the MinGW runtime DLL %s (link it statically)" % dll)
        elif dll.lower() not in KNOWN_DLLS:
            found.append("imports %s, which Windows would look for beside the program" % dll)
    return found


def with_faults(data):
    """Copies of data with one fault each, and what the check must say about it."""
    pe = Pe(data)
    text = next(s for s in pe.sections if s[4] & MEM_EXECUTE)

    def patched(at, fmt, value):
        copy = bytearray(data)
        struct.pack_into(fmt, copy, at, value)
        return bytes(copy)

    def renamed(old, new):
        at = data.lower().index(old.lower() + b"\0")
        return data[:at] + new + data[at + len(new):]

    yield "time stamp", patched(pe.coff + 4, "<I", 0x5F5E1000), "time stamp"
    yield "no ASLR", patched(pe.opt + 70, "<H", pe.dll_flags & ~DYNAMIC_BASE), "no DYNAMIC_BASE"
    yield "relocations stripped", patched(pe.coff + 18, "<H", pe.flags | RELOCS_STRIPPED), "without relocations"
    yield "no NX", patched(pe.opt + 70, "<H", pe.dll_flags & ~NX_COMPAT), "no NX_COMPAT"
    yield "W+X code", patched(text[5], "<I", text[4] | MEM_WRITE), "writable and executable"
    yield "runtime DLL", renamed(b"msvcrt.dll", b"libgcc.dll"), "MinGW runtime DLL libgcc.dll"
    yield "searched DLL", renamed(b"SHELL32.dll", b"VERSION.dll"), "imports VERSION.dll"


def main(argv):
    faults = argv[1:2] == ["--faults"]
    if len(argv) != 2 + faults:
        print(__doc__.strip())
        return 2
    path = argv[-1]
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        print("%s: cannot read (%s): did the release build fail?" % (path, e.strerror))
        return 1
    try:
        found = problems(data)
    except ValueError as e:
        print("%s: cannot be read as PE32 i386: %s" % (path, e))
        return 1
    if not faults:
        for problem in found:
            print("%s: %s" % (path, problem))
        if not found:
            print("%s: hardened; imports %s" % (path, ", ".join(Pe(data).imported_dlls())))
        return 1 if found else 0
    if found:
        print("%s is not clean to start from: %s" % (path, "; ".join(found)))
        return 1
    missed = 0
    for name, copy, expected in with_faults(data):
        said = problems(copy)
        caught = any(expected in p for p in said)
        missed += not caught
        print("%-20s %s: %s" % (name, "caught" if caught else "MISSED", "; ".join(said) or "no problem found"))
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
