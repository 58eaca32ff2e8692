#!/usr/bin/env python3
"""The i686 release file as users run it, and its hardening, read from its PE headers and code. The headers are read
through Debian's python3-pefile, as the signing test, the resource checks and the benchmark read
them: the one PE reader of the project.

    check-pe-hardening.py FILE MANIFEST           passes when FILE is hardened as we ship it
    check-pe-hardening.py --faults FILE MANIFEST  passes when each fault put into a copy of FILE
                                                  is caught (so a pass above means something)

MANIFEST is the manifest as the build configured it, which FILE must embed byte for byte.

Checked: a PE32 i386 program of the Windows GUI subsystem (a PE32+ or other machine's file is not
read at all); relocatable (DYNAMIC_BASE, with its relocations kept), NX_COMPAT, NO_SEH (GNU ld
cannot write a SafeSEH table; the image has no handler and says so) and TERMINAL_SERVER_AWARE;
no time stamp; no section both writable and executable, none shared and writable, none
executable that holds data or the imports; the stack protector's guard checked in the code;
imports only from DLLs that Windows maps from its system folder (KnownDLLs): any other DLL,
such as a MinGW runtime DLL (libssp's among them), would be looked for beside the program
first, where a planted copy waits for an elevated run; the manifest as configured, asking for
administrator rights without UI access, and for the x86 Common Controls 6.
"""
import re
import struct
import sys

import pefile

# KnownDLLs of Windows Vista and 7 (32-bit side too), plus ntdll, which is always mapped
# first. comctl32 and version are not among them: Windows searches for those.
KNOWN_DLLS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll",
    "ntdll.dll", "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "ws2_32.dll",
}
MINGW_RUNTIME = ("libgcc", "libstdc++", "libwinpthread", "libssp")

RELOCS_STRIPPED = 0x0001
DYNAMIC_BASE, NX_COMPAT, NO_SEH, TERMINAL_SERVER_AWARE = 0x0040, 0x0100, 0x0400, 0x8000
CNT_CODE, MEM_SHARED, MEM_EXECUTE, MEM_READ, MEM_WRITE = 0x20, 0x10000000, 0x20000000, 0x40000000, 0x80000000
IMPORT_DIRS = {1: "import directory", 12: "import address table", 13: "delay import directory"}
RT_MANIFEST = 24
MANIFEST_MUST_SAY = (b'level="requireAdministrator"', b'uiAccess="false"',
                     b'name="Microsoft.Windows.Common-Controls"', b'version="6.0.0.0"',
                     b'processorArchitecture="X86"')

# The protector's check before a return: sub guard,reg (2B, ModRM 00 reg 101, absolute address,
# any register but esp), then je over a call of the failure routine. Longer jumps also occur,
# so the guard found here is then counted in every sub.
GUARD_CHECK = re.compile(rb"\x2b[\x05\x0d\x15\x1d\x2d\x35\x3d](....)\x74\x05\xe8(....)", re.S)


class Pe:
    """The file as Debian's pefile reads it, with the few views the checks need."""

    def __init__(self, data):
        try:
            self.pe = pefile.PE(data=data, fast_load=True)
        except pefile.PEFormatError as e:
            raise ValueError(str(e))
        pe = self.pe
        if pe.FILE_HEADER.Machine != 0x14C or pe.OPTIONAL_HEADER.Magic != 0x10B:
            raise ValueError("not a PE32 i386 file")
        pe.parse_data_directories(directories=[1, 2, 13])  # imports, resources, delay imports
        self.data = data
        self.stamp = pe.FILE_HEADER.TimeDateStamp
        self.flags = pe.FILE_HEADER.Characteristics
        self.image_base = pe.OPTIONAL_HEADER.ImageBase
        self.dll_flags = pe.OPTIONAL_HEADER.DllCharacteristics
        self.subsystem = pe.OPTIONAL_HEADER.Subsystem
        self.dirs = [(d.VirtualAddress, d.Size) for d in pe.OPTIONAL_HEADER.DATA_DIRECTORY]
        # Offsets of the fields that the faults patch.
        self.stamp_at = pe.FILE_HEADER.get_field_absolute_offset("TimeDateStamp")
        self.flags_at = pe.FILE_HEADER.get_field_absolute_offset("Characteristics")
        self.dll_flags_at = pe.OPTIONAL_HEADER.get_field_absolute_offset("DllCharacteristics")
        self.subsystem_at = pe.OPTIONAL_HEADER.get_field_absolute_offset("Subsystem")
        self.sections = [(s.Name.rstrip(b"\0").decode("latin-1"), s.VirtualAddress,
                          max(s.Misc_VirtualSize, s.SizeOfRawData), s.PointerToRawData, s.Characteristics,
                          s.get_field_absolute_offset("Characteristics")) for s in pe.sections]

    def section(self, rva):
        return next((s for s in self.sections if s[1] <= rva < s[1] + s[2]), None)

    def imported_dlls(self):
        entries = getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", []) + getattr(self.pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])
        return [e.dll.decode("latin-1") for e in entries]

    def resource(self, kind, ident):
        """The bytes of resource kind/ident in its first language, or None."""
        level = getattr(self.pe, "DIRECTORY_ENTRY_RESOURCE", None)
        for want in (kind, ident, None):
            entry = next((e for e in level.entries if want is None or e.id == want), None) if level else None
            if entry is None:
                return None
            level = getattr(entry, "directory", None)
        return self.pe.get_data(entry.data.struct.OffsetToData, entry.data.struct.Size)

    def guard_checks(self):
        """(guard VA, failure routine VA, offsets of every sub of the guard) or None."""
        counts = {}
        for _, va, size, raw, chars, _ in self.sections:
            if not chars & MEM_EXECUTE:
                continue
            code = self.data[raw:raw + size]
            for m in GUARD_CHECK.finditer(code):
                guard = struct.unpack("<I", m.group(1))[0]
                home = self.section(guard - self.image_base)
                if not home or home[4] & MEM_EXECUTE or not home[4] & MEM_WRITE:
                    continue
                call_end = va + m.end()
                fail = (call_end + struct.unpack("<i", m.group(2))[0]) & 0xFFFFFFFF
                key = (guard, fail + self.image_base)
                counts[key] = counts.get(key, 0) + 1
        if not counts:
            return None
        guard, fail = max(counts, key=counts.get)
        subs = re.compile(rb"\x2b[\x05\x0d\x15\x1d\x2d\x35\x3d]" + re.escape(struct.pack("<I", guard)))
        at = [s[3] + m.start() for s in self.sections if s[4] & MEM_EXECUTE
              for m in subs.finditer(self.data[s[3]:s[3] + s[2]])]
        return guard, fail, at


def problems(data, manifest):
    pe = Pe(data)
    found = []
    if pe.subsystem != 2:
        found.append("subsystem %d, not the Windows GUI (2)" % pe.subsystem)
    if pe.stamp:
        found.append("time stamp %#x in the file header" % pe.stamp)
    if not pe.dll_flags & DYNAMIC_BASE:
        found.append("no DYNAMIC_BASE")
    elif pe.flags & RELOCS_STRIPPED or not pe.dirs[5][1]:
        found.append("DYNAMIC_BASE without relocations: it could not be moved")
    if not pe.dll_flags & NX_COMPAT:
        found.append("no NX_COMPAT")
    if not pe.dll_flags & NO_SEH:
        found.append("no NO_SEH: without a SafeSEH table any handler address would be run")
    if not pe.dll_flags & TERMINAL_SERVER_AWARE:
        found.append("not TERMINAL_SERVER_AWARE")
    for name, _, _, _, chars, _ in pe.sections:
        if chars & MEM_WRITE and chars & MEM_EXECUTE:
            found.append("section %s is writable and executable" % name)
        if chars & MEM_WRITE and chars & MEM_SHARED:
            found.append("section %s is shared and writable: every process running the file shares it" % name)
        if chars & MEM_EXECUTE and not chars & CNT_CODE:
            found.append("data section %s is executable" % name)
    for index, what in IMPORT_DIRS.items():
        home = pe.section(pe.dirs[index][0]) if pe.dirs[index][1] else None
        if home and home[4] & MEM_EXECUTE:
            found.append("the %s lies in the executable section %s" % (what, home[0]))
    if not pe.guard_checks():
        found.append("no stack protector: no function checks a stack guard before it returns")
    for dll in pe.imported_dlls():
        if dll.lower().startswith(MINGW_RUNTIME):
            found.append("imports the MinGW runtime DLL %s (link it statically)" % dll)
        elif dll.lower() not in KNOWN_DLLS:
            found.append("imports %s, which Windows would look for beside the program" % dll)
    embedded = pe.resource(RT_MANIFEST, 1)
    if embedded is None:
        found.append("no manifest (resource 24, 1)")
    else:
        if embedded != manifest:
            found.append("the embedded manifest is not the configured one")
        for item in MANIFEST_MUST_SAY:
            if item not in embedded:
                found.append("the embedded manifest does not say %s" % item.decode())
    return found


def with_faults(data):
    """Copies of data with one fault each, and what the check must say about it."""
    pe = Pe(data)
    text = next(s for s in pe.sections if s[4] & MEM_EXECUTE)
    by_name = {s[0]: s for s in pe.sections}
    imports = pe.section(pe.dirs[1][0])

    def patched(at, fmt, value):
        copy = bytearray(data)
        struct.pack_into(fmt, copy, at, value)
        return bytes(copy)

    # The name that the import directory points at: the same text may stand in the program's
    # own data too (a module it looks up by name), and renaming that one would prove nothing.
    def renamed(old, new):
        entry = next(e for e in pe.pe.DIRECTORY_ENTRY_IMPORT if e.dll.lower() == old.lower())
        at = pe.pe.get_offset_from_rva(entry.struct.Name)
        return data[:at] + new + data[at + len(new):]

    def replaced(old, new):
        assert data.count(old) == 1 and len(new) == len(old)
        return data.replace(old, new)

    def unguarded():
        copy = bytearray(data)
        for at in pe.guard_checks()[2]:
            copy[at] = 0x3B  # cmp instead of sub: the je after it no longer follows a guard check
        return bytes(copy)

    dll_flags = pe.dll_flags_at
    yield "console program", patched(pe.subsystem_at, "<H", 3), "not the Windows GUI"
    yield "time stamp", patched(pe.stamp_at, "<I", 0x5F5E1000), "time stamp"
    yield "no ASLR", patched(dll_flags, "<H", pe.dll_flags & ~DYNAMIC_BASE), "no DYNAMIC_BASE"
    yield "relocations stripped", patched(pe.flags_at, "<H", pe.flags | RELOCS_STRIPPED), "without relocations"
    yield "no NX", patched(dll_flags, "<H", pe.dll_flags & ~NX_COMPAT), "no NX_COMPAT"
    yield "SEH allowed", patched(dll_flags, "<H", pe.dll_flags & ~NO_SEH), "no NO_SEH"
    yield "not TS-aware", patched(dll_flags, "<H", pe.dll_flags & ~TERMINAL_SERVER_AWARE), "not TERMINAL_SERVER_AWARE"
    yield "W+X code", patched(text[5], "<I", text[4] | MEM_WRITE), "writable and executable"
    data_section = by_name[".data"]
    yield "shared .data", patched(data_section[5], "<I", data_section[4] | MEM_SHARED), "section .data is shared"
    rdata = by_name[".rdata"]
    yield "executable .rdata", patched(rdata[5], "<I", rdata[4] | MEM_EXECUTE), "data section .rdata is executable"
    # Marked as code, read-only: only the rule on the imports' home can see it.
    yield ("imports as code", patched(imports[5], "<I", CNT_CODE | MEM_EXECUTE | MEM_READ),
           "import directory lies in the executable section " + imports[0])
    yield "no stack guard", unguarded(), "no stack protector"
    yield "runtime DLL", renamed(b"msvcrt.dll", b"libgcc.dll"), "MinGW runtime DLL libgcc.dll"
    yield "libssp DLL", renamed(b"ADVAPI32.dll", b"libssp-0.dll"), "MinGW runtime DLL libssp-0.dll"
    yield "searched DLL", renamed(b"SHELL32.dll", b"VERSION.dll"), "imports VERSION.dll"
    as_invoker = b'level="asInvoker"' + b" " * (len("requireAdministrator") - len("asInvoker"))
    yield ("asInvoker manifest", replaced(b'level="requireAdministrator"', as_invoker),
           "the embedded manifest is not the configured one")


def main(argv):
    faults = argv[1:2] == ["--faults"]
    if len(argv) != 3 + faults:
        print(__doc__.strip())
        return 2
    path, manifest_path = argv[-2:]
    try:
        with open(path, "rb") as f:
            data = f.read()
        with open(manifest_path, "rb") as f:
            manifest = f.read()
    except OSError as e:
        print("%s: cannot read (%s): did the release build fail?" % (e.filename, e.strerror))
        return 1
    try:
        found = problems(data, manifest)
    except ValueError as e:
        print("%s: cannot be read as PE32 i386: %s" % (path, e))
        return 1
    if not faults:
        for problem in found:
            print("%s: %s" % (path, problem))
        if not found:
            pe = Pe(data)
            guard, fail, subs = pe.guard_checks()
            print("%s: hardened; %d stack guard checks (guard %#x, failure routine %#x); imports %s"
                  % (path, len(subs), guard, fail, ", ".join(pe.imported_dlls())))
        return 1 if found else 0
    if found:
        print("%s is not clean to start from: %s" % (path, "; ".join(found)))
        return 1
    missed = 0
    for name, copy, expected in with_faults(data):
        said = problems(copy, manifest)
        caught = any(expected in p for p in said)
        missed += not caught
        print("%-20s %s: %s" % (name, "caught" if caught else "MISSED", "; ".join(said) or "no problem found"))
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
