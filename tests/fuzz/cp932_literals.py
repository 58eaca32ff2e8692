#!/usr/bin/env python3
"""Host tool of the fuzz build: copies a UTF-8 C++ source, rewriting every non-ASCII character
inside an ordinary string or character literal as the octal escapes of its code page 932 bytes.
clang 14 accepts no execution character set but UTF-8, so this gives the fuzzed rules the very
bytes that -fexec-charset=CP932 gives the program. Comments and code outside literals are
copied unchanged; a #line names the original, so that diagnostics and sanitizer reports do.

    cp932_literals.py INPUT OUTPUT
"""
import re
import sys

# A comment, a raw string, or a literal with the identifier or number glued to its quote,
# which tells a prefix or a digit separator (1'000) apart.
TOKEN = re.compile(r'//[^\n]*|/\*.*?(?:\*/|\Z)|(\w*)R"([^(]*)\(.*?(?:\)\2"|\Z)|(\w*)(["\'])', re.S | re.A)
ESCAPE_OR_CHAR = re.compile(r'\\[\x00-\x7f]|[\x80-\U0010ffff]+|.', re.S)


def convert(source, name):
    def die(text, at):
        sys.exit(f"{name}:{source.count(chr(10), 0, at) + 1}: cp932_literals: {text}")

    quoted = name.replace("\\", "\\\\").replace('"', '\\"')
    out, at = [f'#line 1 "{quoted}"\n'], 0
    while (m := TOKEN.search(source, at)):
        out.append(source[at:m.start()])
        at = m.end()
        if m.group(4) is None:  # a comment or a raw string
            if m.group(0).startswith("/*") and (len(m.group(0)) < 4 or not m.group(0).endswith("*/")):
                die("unterminated comment", m.start())
            if m.group(1) is not None and not m.group(0).endswith(')' + m.group(2) + '"'):
                die("unterminated raw string", m.start())
            if m.group(1) is not None and not m.group(0).isascii():
                die("non-ASCII text in a raw string is not converted", m.start())
            out.append(m.group(0))
            continue
        word, quote = m.group(3), m.group(4)
        out.append(m.group(0))
        if quote == "'" and word not in ("", "L", "u", "U", "u8"):
            continue
        wide = word in ("L", "u", "U", "u8")  # they do not take the execution character set
        while True:
            piece = ESCAPE_OR_CHAR.match(source, at)
            if piece is None or piece.group(0) == "\n":
                die("unterminated literal", m.start())
            text, at = piece.group(0), piece.end()
            if text == "\\":
                die("escape before a non-ASCII character", m.start())
            if text[0] >= "\x80":
                if wide:
                    die("non-ASCII text in a wide or UTF literal is not converted", m.start())
                try:
                    text = "".join(f"\\{b:03o}" for b in text.encode("cp932"))
                except UnicodeEncodeError:
                    die("text in a literal has no exact code page 932 form: " + text, m.start())
            out.append(text)
            if text == quote:
                break
    out.append(source[at:])
    return "".join(out)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: cp932_literals.py INPUT OUTPUT")
    with open(sys.argv[1], encoding="utf-8", newline="") as f:
        result = convert(f.read(), sys.argv[1])
    with open(sys.argv[2], "w", encoding="utf-8", newline="") as f:
        f.write(result)
