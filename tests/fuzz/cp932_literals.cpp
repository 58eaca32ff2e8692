// Host tool of the fuzz build: copies a UTF-8 C++ source, rewriting every non-ASCII
// character inside an ordinary string or character literal as the octal escapes of its
// code page 932 bytes. clang 14 accepts no execution character set but UTF-8, so this
// gives the fuzzed rules the very bytes that -fexec-charset=CP932 gives the program.
// Comments and code outside literals are copied unchanged.
//
//   cp932_literals <input> <output>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include <iconv.h>

namespace {

std::string g_input;  // for messages

[[noreturn]] void Die(const std::string& text, size_t line)
{
    std::cerr << g_input << ":" << line << ": cp932_literals: " << text << "\n";
    std::exit(1);
}

std::string ToCp932(const std::string& utf8, size_t line)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        Die("this system's iconv has no CP932", line);
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = &out[0];
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    // A character without a CP932 form would silently differ from the program's bytes.
    if (rc == static_cast<size_t>(-1) || rc != 0 || inLeft != 0)
        Die("text in a literal has no exact code page 932 form: " + utf8, line);
    out.resize(out.size() - outLeft);
    return out;
}

bool IsIdentChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool HasNonAscii(const std::string& s)
{
    for (unsigned char c : s) {
        if (c >= 0x80)
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: cp932_literals <input> <output>\n";
        return 2;
    }
    g_input = argv[1];
    std::ifstream inFile(argv[1], std::ios::binary);
    if (!inFile)
        Die("cannot read the input", 0);
    const std::string s((std::istreambuf_iterator<char>(inFile)), std::istreambuf_iterator<char>());

    // Diagnostics and sanitizer reports then name the original file and its lines.
    std::string out = "#line 1 \"";
    for (char ch : g_input) {
        if (ch == '"' || ch == '\\')
            out += '\\';
        out += ch;
    }
    out += "\"\n";
    size_t line = 1;
    size_t i = 0;
    const size_t n = s.size();
    auto copyUntil = [&](size_t end) {
        for (; i < end && i < n; ++i) {
            if (s[i] == '\n')
                ++line;
            out += s[i];
        }
    };
    while (i < n) {
        const char c = s[i];
        if (c == '/' && i + 1 < n && s[i + 1] == '/') {
            const size_t end = s.find('\n', i);
            copyUntil(end == std::string::npos ? n : end);
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            const size_t end = s.find("*/", i + 2);
            if (end == std::string::npos)
                Die("unterminated comment", line);
            copyUntil(end + 2);
            continue;
        }
        if (c != '"' && c != '\'') {
            copyUntil(i + 1);
            continue;
        }
        // The identifier or number glued to the quote tells a prefix, a raw string or a
        // digit separator (1'000) apart.
        size_t w = i;
        while (w > 0 && IsIdentChar(static_cast<unsigned char>(s[w - 1])))
            --w;
        const std::string word = s.substr(w, i - w);
        if (c == '\'' && !word.empty() && word != "L" && word != "u" && word != "U" && word != "u8") {
            copyUntil(i + 1);
            continue;
        }
        if (c == '"' && !word.empty() && word.back() == 'R') {
            const size_t open = s.find('(', i);
            if (open == std::string::npos)
                Die("malformed raw string", line);
            const std::string close = ")" + s.substr(i + 1, open - i - 1) + "\"";
            const size_t end = s.find(close, open);
            if (end == std::string::npos)
                Die("unterminated raw string", line);
            if (HasNonAscii(s.substr(i, end + close.size() - i)))
                Die("non-ASCII text in a raw string is not converted", line);
            copyUntil(end + close.size());
            continue;
        }
        // Wide and UTF literals do not take the execution character set.
        const bool convert = word.empty() || (word != "L" && word != "u" && word != "U" && word != "u8");
        out += c;
        ++i;
        for (;;) {
            if (i >= n || s[i] == '\n')
                Die("unterminated literal", line);
            const unsigned char b = static_cast<unsigned char>(s[i]);
            if (b == static_cast<unsigned char>(c)) {
                out += c;
                ++i;
                break;
            }
            if (b == '\\') {
                if (i + 1 >= n || static_cast<unsigned char>(s[i + 1]) >= 0x80)
                    Die("escape before a non-ASCII character", line);
                out += s.substr(i, 2);
                i += 2;
                continue;
            }
            if (b < 0x80) {
                out += s[i++];
                continue;
            }
            if (!convert)
                Die("non-ASCII text in a wide or UTF literal is not converted", line);
            size_t end = i;
            while (end < n && static_cast<unsigned char>(s[end]) >= 0x80)
                ++end;
            // Three octal digits each: an escape never swallows a digit that follows.
            for (unsigned char x : ToCp932(s.substr(i, end - i), line)) {
                char esc[5];
                std::snprintf(esc, sizeof esc, "\\%03o", x);
                out += esc;
            }
            i = end;
        }
    }

    std::ofstream outFile(argv[2], std::ios::binary | std::ios::trunc);
    outFile << out;
    if (!outFile.flush())
        Die(std::string("cannot write ") + argv[2], 0);
    return 0;
}
