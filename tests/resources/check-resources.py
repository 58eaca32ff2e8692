#!/usr/bin/env python3
"""Reads every resource back out of a built program and checks it field by field. The dialogs
and the icon are what the user sees; the version record and the manifest are what Explorer and
the loader read. A wrong bit in any of them is a visible fault. The file is read by Debian's
python3-pefile, as the release checks read it; what only Windows' own functions can decide
(that they take the icons and the version record) is ResourceTest.cpp's, under Wine.

    check-resources.py FILE ARCH [--optional]

ARCH is the processorArchitecture the manifest must ask Common Controls for (amd64 for the
test twin, X86 for the release). --optional: a missing FILE is skipped (exit 77), not failed.
Each failed check prints what it expected and what it found; exit status 1 then.
"""
import os
import re
import struct
import sys

import pefile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
JAPANESE = 0x0411
UI_FONT = "\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF"  # "ＭＳ Ｐゴシック"
DS_SETFONT, IDOK, IDC_STATIC = 0x40, 1, 0xFFFF
# The control IDs the program is built with, pinned to their numbers.
IDS = {"IDD_ABOUTBOX": 100, "IDD_INSTALLTOOL_DIALOG": 102, "IDR_MAINFRAME": 128, "IDC_RADIO1": 1001,
       "IDC_STATIC_MAIN": 1004, "IDC_STATIC_INTRO": 1006, "IDC_BUTTON_BACK": 1007, "IDC_STATIC": -1}
# Edge, bits per pixel and bytes of the seven icon images, in the group's order.
ICONS = [(48, 24, 7336), (32, 24, 3240), (16, 24, 872), (256, 32, 270376), (48, 32, 9640), (32, 32, 4264),
         (16, 32, 1128)]
failures = []


def check(what, want, got):
    if want != got:
        failures.append("%s: expected %r, found %r" % (what, want, got))
    return want == got


def expected_texts():
    """The texts the tests expect (harness/expected/Expectations.h), as Python strings."""
    with open(os.path.join(ROOT, "harness/expected/Expectations.h"), encoding="utf-8") as f:
        text = f.read()
    found = re.finditer(r'constexpr char (k\w+)\[\] =\s*((?:"(?:[^"\\]|\\.)*"\s*)+);', text)
    return {m.group(1): "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', m.group(2))).replace("\\n", "\n") for m in found}


def resources(pe):
    """{(type, name, language): bytes}; a named type or name stands as 0xFFFF."""
    found, root = {}, getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in root.entries if root else []:
        for name in kind.directory.entries:
            for lang in name.directory.entries:
                key = (0xFFFF if kind.id is None else kind.id, 0xFFFF if name.id is None else name.id, lang.id)
                found[key] = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
    return found


class Reader:
    """Little-endian reads; a read past the end leaves ok False and gives 0."""

    def __init__(self, data, pos=0):
        self.data, self.pos, self.ok = data, pos, True

    def take(self, fmt):
        if self.pos + struct.calcsize(fmt) > len(self.data):
            self.ok = False
            return 0
        value = struct.unpack_from(fmt, self.data, self.pos)[0]
        self.pos += struct.calcsize(fmt)
        return value

    def text(self):
        chars = []
        while (c := self.take("<H")) and self.ok:
            chars.append(chr(c))
        return "".join(chars)

    def name(self):  # empty, an ordinal (written "#n") or a string
        if self.data[self.pos:self.pos + 2] == b"\xff\xff":
            self.pos += 2
            return "#%d" % self.take("<H")
        return self.text()


def parse_dialog(data):
    """DLGTEMPLATE or DLGTEMPLATEEX with its items, as the dialog manager reads them."""
    r, d = Reader(data), {"extended": data[2:4] == b"\xff\xff", "helpId": 0}
    if d["extended"]:
        d["version"], d["signature"] = r.take("<H"), r.take("<H")
        d["helpId"], d["exStyle"], d["style"] = r.take("<I"), r.take("<I"), r.take("<I")
    else:
        d["style"], d["exStyle"] = r.take("<I"), r.take("<I")
    d["count"] = r.take("<H")
    d["rect"] = tuple(r.take("<h") for _ in range(4))
    d["menu"], d["cls"], d["caption"] = r.name(), r.name(), r.text()
    if d["style"] & DS_SETFONT:
        d["pointSize"] = r.take("<H")
        if d["extended"]:
            d["weight"], d["italic"], d["charset"] = r.take("<H"), r.take("<B"), r.take("<B")
        d["face"] = r.text()
    d["items"] = []
    for _ in range(d["count"]):
        if not r.ok:
            break
        r.pos += -r.pos % 4
        item = {"helpId": 0}
        if d["extended"]:
            item["helpId"], item["exStyle"], item["style"] = r.take("<I"), r.take("<I"), r.take("<I")
        else:
            item["style"], item["exStyle"] = r.take("<I"), r.take("<I")
        item["rect"] = tuple(r.take("<h") for _ in range(4))
        item["id"] = r.take("<I" if d["extended"] else "<H")
        item["cls"], item["title"] = r.name(), r.name()
        item["extraBytes"] = r.take("<H")
        r.pos += item["extraBytes"]
        d["items"].append(item)
    d["end"], d["ok"] = r.pos, r.ok and r.pos <= len(data)
    return d


def check_dialog(what, data, extended, style, ex_style, size, items):
    """The template's frame (at 0,0, no menu, class or caption, the UI font at 9 points), each
    control in order, and nothing after the last."""
    d = parse_dialog(data)
    if not check(what + " read whole, extended form", (True, extended), (bool(data) and d["ok"], d["extended"])):
        return d
    check(what + " style, exStyle", (hex(style), hex(ex_style)), (hex(d["style"]), hex(d["exStyle"])))
    check(what + " frame", (len(items), (0, 0) + size, "", "", "", 9, UI_FONT),
          (d["count"], d["rect"], d["menu"], d["cls"], d["caption"], d.get("pointSize"), d.get("face")))
    check(what + " number of controls", len(items), len(d["items"]))
    classes = {"#128": "Button", "button": "Button", "#130": "Static", "static": "Static"}
    for i, (want, got) in enumerate(zip(items, d["items"])):
        cls = classes.get(got["cls"].lower(), got["cls"])
        check("%s control %d" % (what, i + 1), want[:3] + (hex(want[3]),) + want[4:] + ("0x0", 0, 0),
              (cls, got["id"], got["title"], hex(got["style"])) + got["rect"]
              + (hex(got["exStyle"]), got["helpId"], got["extraBytes"]))
    check(what + ": fewer than 4 bytes after the last control", True, len(data) - d["end"] < 4)
    return d


def decode_icon(image, edge, bits):
    """[(r, g, b, a, masked)] rows top to bottom, of a bottom-up BI_RGB image; 24-bit images get
    alpha 255 and the AND mask alone says what is transparent. None when too short."""
    stride, mask_stride = (edge * bits // 8 + 3) // 4 * 4, (edge + 31) // 32 * 4
    if len(image) < 40 + (stride + mask_stride) * edge:
        return None
    mask_at = 40 + stride * edge
    pixels = []
    for y in range(edge - 1, -1, -1):
        for x in range(edge):
            p = 40 + stride * y + x * bits // 8
            masked = image[mask_at + mask_stride * y + x // 8] & (0x80 >> (x % 8)) != 0
            pixels.append((image[p + 2], image[p + 1], image[p], image[p + 3] if bits == 32 else 255, masked))
    return pixels


def check_icons(found):
    group = found.get((14, 128, JAPANESE), b"")
    if check("icon group 128: 7 entries of 14 bytes", 6 + 14 * 7, len(group)):
        check("icon group header (reserved, type icon, count)", (0, 1, 7), struct.unpack_from("<HHH", group))
        for i, (edge, bits, size) in enumerate(ICONS):
            check("icon group entry %d (width, height, colours, reserved, planes, bits, bytes, ID)" % (i + 1),
                  (edge % 256, edge % 256, 0, 0, 1, bits, size, i + 1), struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i))
    images = []
    for i, (edge, bits, size) in enumerate(ICONS):
        what = "icon %d (%d px, %d bits)" % (i + 1, edge, bits)
        image = found.get((3, i + 1, JAPANESE), b"")
        check(what + " bytes", size, len(image))
        if len(image) >= 40:  # the header: size, width, height (colour and mask rows), planes, bits, BI_RGB, palette
            header = struct.unpack_from("<IiiHHIIiiII", image)
            check(what + " header", (40, edge, edge * 2, 1, bits, 0, 0), header[:6] + header[9:10])
        pixels = decode_icon(image, edge, bits)
        images.append(pixels)
        if not check(what + " decodes", True, pixels is not None):
            continue
        # 32-bit: the mask marks exactly the fully clear pixels. 24-bit: a masked pixel must be
        # black, or it would tint the screen through the XOR.
        disagree = sum(1 for r, g, b, a, m in pixels if (m != (a == 0) if bits == 32 else m and (r | g | b)))
        check(what + " pixels whose AND mask disagrees with their colour", 0, disagree)
        masked = sum(p[4] for p in pixels)
        check(what + " some pixels transparent, fewer than half", True, 0 < masked < edge * edge // 2)

        # Landmarks, in fractions of the edge: clear corners, the spindle hole, the silver disc,
        # the green arrow.
        def at(u, v):
            return pixels[min(edge - 1, int(v * edge)) * edge + min(edge - 1, int(u * edge))]
        check(what + " corners clear", (True, True), (at(0.02, 0.02)[4], at(0.05, 0.95)[4]))
        hole = at(0.44, 0.44)
        check(what + " spindle hole clear", True, hole[3] < 128 if bits == 32 else hole[4])
        disc = at(0.44, 0.12)
        check(what + " disc opaque and silver", (255, False, True), (disc[3], disc[4], max(disc[:3]) - min(disc[:3]) < 80))
        r, g, b, a, m = at(0.74, 0.70)
        check(what + " arrow opaque and green", (255, False, True), (a, m, g > r + 40 and g > b + 40))
    # Each 24-bit image is its 32-bit twin with the half-clear pixels cut away.
    for i in range(3):
        if images[i] and images[i + 4]:
            check("%d px: 24-bit mask against 32-bit alpha, pixels that differ" % ICONS[i][0], 0,
                  sum(1 for p, q in zip(images[i], images[i + 4]) if p[4] != (q[3] < 128)))


def version_node(data, at):
    """(key, value bytes, [children]) of one VS_VERSIONINFO-style node, or None when malformed."""
    if at + 6 > len(data):
        return None
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    if length < 6 or end > len(data):
        return None
    r = Reader(data[:end], at + 6)
    key = r.text()
    pos = (r.pos + 3) // 4 * 4
    value_bytes = value_length * 2 if kind == 1 else value_length
    if pos + value_bytes > end:
        return (key, b"", []) if value_bytes == 0 else None
    value, pos, children = data[pos:pos + value_bytes], (pos + value_bytes + 3) // 4 * 4, []
    while pos < end:
        child = version_node(data, pos)
        if child is None:
            return None
        children.append(child)
        pos = (pos + struct.unpack_from("<H", data, pos)[0] + 3) // 4 * 4
    return key, value, children


def check_version_record(found, text):
    """Every entry in its order, which VerQueryValue cannot tell, and every value."""
    root = version_node(found.get((16, 1, JAPANESE), b""), 0)
    if not check("version record read whole", True, root is not None):
        return
    keys = lambda node: [child[0] for child in node[2]]
    check("version record", ("VS_VERSION_INFO", 52, ["StringFileInfo", "VarFileInfo"]), (root[0], len(root[1]), keys(root)))
    # Signature, structure version, file and product version (1.0.0.0), flags mask, flags, OS
    # (VOS__WINDOWS32), type (VFT_APP), subtype, date.
    check("fixed part", tuple(map(hex, (0xFEEF04BD, 0x10000, 0x10000, 0, 0x10000, 0, 0x3F, 0, 4, 1, 0, 0, 0))),
          tuple(map(hex, struct.unpack("<13I", root[1]))) if len(root[1]) == 52 else None)
    if keys(root) == ["StringFileInfo", "VarFileInfo"]:
        strings = root[2][0]
        check("string tables", ["041104b0"], keys(strings))
        version = "1, 0, 0, 0"
        check("strings", [("Comments", ""), ("CompanyName", text["kCompanyName"]),
                          ("FileDescription", text["kFileDescription"]), ("FileVersion", version), ("InternalName", ""),
                          ("LegalCopyright", text["kCopyright"]), ("LegalTrademarks", ""),
                          ("OriginalFilename", text["kProgramFileName"]), ("PrivateBuild", ""),
                          ("ProductName", text["kProductName"]), ("ProductVersion", version), ("SpecialBuild", "")],
              [(k, v.decode("utf-16-le").rstrip("\0")) for k, v, _ in strings[2][0][2]] if strings[2] else None)
        check("VarFileInfo: one language and code page, Japanese and Unicode", [("Translation", (0x0411, 1200))],
              [(k, struct.unpack("<HH", v) if len(v) == 4 else v) for k, v, _ in root[2][1][2]])


def check_manifest(found, arch):
    xml = found.get((24, 1, JAPANESE), b"").decode("utf-8", "replace")
    declaration = '<?xml version="1.0" encoding="utf-8"?>'
    check("manifest starts (no byte order mark, UTF-8 declared)", declaration, xml[:len(declaration)])
    # Start tags in document order with their attributes, in their order.
    tags = [(m.group(1), re.findall(r'([\w:]+)="([^"]*)"', m.group(2))) for m in re.finditer(r"<([\w:]+)([^>]*)>", xml)]
    check("manifest elements", ["assembly", "trustInfo", "security", "requestedPrivileges", "requestedExecutionLevel",
                                "dependency", "dependentAssembly", "assemblyIdentity"], [t[0] for t in tags])
    if len(tags) == 8:
        check("assembly", [("xmlns", "urn:schemas-microsoft-com:asm.v1"), ("manifestVersion", "1.0")], tags[0][1])
        check("trustInfo", [("xmlns", "urn:schemas-microsoft-com:asm.v3")], tags[1][1])
        check("requestedExecutionLevel", [("level", "requireAdministrator"), ("uiAccess", "false")], tags[4][1])
        check("Common Controls", [("type", "win32"), ("name", "Microsoft.Windows.Common-Controls"),
                                  ("version", "6.0.0.0"), ("processorArchitecture", arch), ("language", "*"),
                                  ("publicKeyToken", "6595b64144ccf1df")], tags[7][1])
    check("manifest without compatibility or dpiAware", (False, False), ("compatibility" in xml, "dpiAware" in xml))


def main(argv):
    if len(argv) not in (3, 4) or argv[3:] not in ([], ["--optional"]):
        print(__doc__.strip())
        return 2
    path, arch = argv[1:3]
    if not os.path.exists(path) and argv[3:]:
        print("%s not built: skipped" % path)
        return 77
    with open(os.path.join(ROOT, "resources/resource.h"), encoding="utf-8") as f:
        defined = {m.group(1): int(m.group(2)) for m in re.finditer(r"#define (\w+)\s+\(?(-?\d+)\)?", f.read())}
    check("resource.h IDs (the code loads by these names, the program stores these numbers)", IDS,
          {name: defined.get(name) for name in IDS})
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    found = resources(pe)
    names = [(3, i) for i in range(1, 8)] + [(5, 100), (5, 102), (14, 128), (16, 1), (24, 1)]
    check("resources, all in Japanese", sorted(n + (JAPANESE,) for n in names), sorted(found))
    text = expected_texts()
    # The version box: popup, caption, system menu, modal frame, font.
    check_dialog("version box (dialog 100)", found.get((5, 100, JAPANESE), b""), False, 0x80C800C0, 0, (271, 56), [
        ("Static", IDC_STATIC, "#128", 0x50000003, 11, 16, 20, 21),  # the program icon
        ("Static", IDC_STATIC, text["kVersionBoxProductLine"], 0x50020080, 40, 13, 203, 8),
        ("Static", IDC_STATIC, text["kCopyright"], 0x50020000, 40, 29, 150, 8),
        ("Button", IDOK, "OK", 0x50030001, 195, 27, 50, 14)])
    # The wizard: popup, visible, caption, modal frame, font; an app window.
    d = check_dialog("wizard (dialog 102)", found.get((5, 102, JAPANESE), b""), True, 0x90C000C0, 0x00040000, (262, 99), [
        ("Button", 1001, text["kRadioPlaceholder"], 0x50002409, 14, 35, 161, 40),
        ("Button", 1007, text["kBackPlaceholder"], 0x50010000, 100, 78, 50, 14),
        ("Button", IDOK, text["kNextPlaceholder"], 0x50010001, 150, 78, 50, 14),
        ("Button", 2, text["kEndPlaceholder"], 0x50010000, 205, 78, 50, 14),
        ("Static", 1004, text["kMainPlaceholder"], 0x50020000, 7, 7, 248, 64),
        ("Static", 1006, text["kIntroPlaceholder"], 0x50020000, 7, 7, 248, 27)])
    if d.get("extended"):
        check("wizard (dialog 102) version, signature, help ID, weight, italic, charset", (1, 0xFFFF, 0, 0, 0, 1),
              tuple(d.get(k) for k in ("version", "signature", "helpId", "weight", "italic", "charset")))
    check_icons(found)
    check_version_record(found, text)
    check_manifest(found, arch)
    for failure in failures:
        print("%s: %s" % (path, failure))
    print("%s: %s" % (path, "%d check(s) failed" % len(failures) if failures else "every resource as it must be"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
