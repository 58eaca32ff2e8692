#include "ProcessSampler.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace bench {

namespace {

std::vector<std::string> ProcEntries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (fd.cFileName[0] >= '0' && fd.cFileName[0] <= '9')
            names.push_back(fd.cFileName);
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    return names;
}

}  // namespace

std::string ReadWholeFile(const std::string& path)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "";
    std::string text;
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(h, buffer, sizeof(buffer), &n, nullptr) && n > 0)
        text.append(buffer, n);
    ::CloseHandle(h);
    return text;
}

std::vector<std::string> StatFields(const std::string& stat)
{
    std::vector<std::string> fields;
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return fields;
    size_t at = close + 1;
    while (at < stat.size()) {
        while (at < stat.size() && stat[at] == ' ')
            ++at;
        const size_t end = stat.find_first_of(" \n", at);
        if (at < stat.size())
            fields.push_back(stat.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? stat.size() : end + 1;
    }
    return fields;
}

std::string LoadAverage()
{
    const std::string text = ReadWholeFile("Z:\\proc\\loadavg");
    size_t end = 0;
    for (int field = 0; field < 3; ++field) {
        end = text.find(' ', end + (field > 0 ? 1 : 0));
        if (end == std::string::npos)
            return "?";
    }
    return text.substr(0, end);
}

bool LinuxProcess::Find(const std::string& exe)
{
    m_folder.clear();
    unsigned long long newest = 0;
    for (const std::string& pid : ProcEntries("Z:\\proc")) {
        const std::string folder = "Z:\\proc\\" + pid;
        const std::string cmdline = ReadWholeFile(folder + "\\cmdline");
        if (cmdline.empty() || ::lstrcmpiA(cmdline.c_str(), exe.c_str()) != 0)
            continue;
        const std::vector<std::string> fields = StatFields(ReadWholeFile(folder + "\\stat"));
        const unsigned long long started = fields.size() > 19 ? std::strtoull(fields[19].c_str(), nullptr, 10) : 0;
        if (m_folder.empty() || started >= newest) {
            m_folder = folder;
            newest = started;
        }
    }
    m_seen.clear();
    return !m_folder.empty();
}

double LinuxProcess::TickMs() const
{
    const std::vector<std::string> fields = StatFields(ReadWholeFile(m_folder + "\\stat"));
    if (fields.size() < 13)
        return -1;
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) * 10.0;
}

void LinuxProcess::Look()
{
    for (const std::string& tid : ProcEntries(m_folder + "\\task")) {
        const std::string text = ReadWholeFile(m_folder + "\\task\\" + tid + "\\schedstat");
        if (text.empty())
            continue;
        const double ms = static_cast<double>(std::strtoull(text.c_str(), nullptr, 10)) / 1e6;
        double& seen = m_seen[tid];
        seen = std::max(seen, ms);
    }
}

double LinuxProcess::SeenMs() const
{
    double sum = 0;
    for (const auto& kv : m_seen)
        sum += kv.second;
    return sum;
}

double LinuxProcess::SeenMainMs() const
{
    const auto it = m_seen.find(m_folder.substr(m_folder.find_last_of('\\') + 1));
    return it == m_seen.end() ? 0 : it->second;
}

double LinuxProcess::PeakResidentKb() const
{
    const std::string status = ReadWholeFile(m_folder + "\\status");
    const size_t at = status.find("VmHWM:");
    return at == std::string::npos ? NAN : std::atof(status.c_str() + at + 6);
}

}  // namespace bench
