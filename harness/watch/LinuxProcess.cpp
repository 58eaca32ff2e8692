// Linux's side of the watch: /proc read through Wine's Z: drive.
#include "watch/Watch.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace watch {

namespace {

std::vector<std::string> NumberedEntries(const std::string& folder)
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

// The whole file, or "" when it cannot be opened.
std::string WholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The fields of a /proc stat line after the command name, which may hold spaces: [0] is field 3.
std::vector<std::string> StatFields(const std::string& stat)
{
    std::vector<std::string> fields;
    const size_t close = stat.rfind(')');
    std::istringstream rest(close == std::string::npos ? "" : stat.substr(close + 1));
    for (std::string field; rest >> field;)
        fields.push_back(field);
    return fields;
}

}  // namespace

std::string LoadAverage()
{
    std::istringstream text(WholeFile("Z:\\proc\\loadavg"));
    std::string one, five, fifteen;
    return text >> one >> five >> fifteen ? one + " " + five + " " + fifteen : "?";
}

bool LinuxProcess::Find(const std::string& exe)
{
    m_folder.clear();
    m_seen.clear();
    unsigned long long newest = 0;
    for (const std::string& pid : NumberedEntries("Z:\\proc")) {
        const std::string folder = "Z:\\proc\\" + pid;
        const std::string cmdline = WholeFile(folder + "\\cmdline");
        if (cmdline.empty() || ::lstrcmpiA(cmdline.c_str(), exe.c_str()) != 0)
            continue;
        const std::vector<std::string> fields = StatFields(WholeFile(folder + "\\stat"));
        const unsigned long long started = fields.size() > 19 ? std::strtoull(fields[19].c_str(), nullptr, 10) : 0;
        if (m_folder.empty() || started >= newest)
            m_folder = folder, newest = started;
    }
    return !m_folder.empty();
}

double LinuxProcess::TickMs() const
{
    const std::vector<std::string> fields = StatFields(WholeFile(m_folder + "\\stat"));
    return fields.size() < 13 ? -1 : (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) * 10.0;
}

void LinuxProcess::Look()
{
    for (const std::string& tid : NumberedEntries(m_folder + "\\task")) {
        const std::string text = WholeFile(m_folder + "\\task\\" + tid + "\\schedstat");
        if (!text.empty())
            m_seen[tid] = std::max(m_seen[tid], static_cast<double>(std::strtoull(text.c_str(), nullptr, 10)) / 1e6);
    }
}

double LinuxProcess::SeenMs() const
{
    double sum = 0;
    for (const auto& seen : m_seen)
        sum += seen.second;
    return sum;
}

double LinuxProcess::SeenMainMs() const
{
    const auto it = m_seen.find(m_folder.substr(m_folder.find_last_of('\\') + 1));
    return it == m_seen.end() ? 0 : it->second;
}

double LinuxProcess::PeakResidentKb() const
{
    const std::string status = WholeFile(m_folder + "\\status");
    const size_t at = status.find("VmHWM:");
    return at == std::string::npos ? NAN : std::atof(status.c_str() + at + 6);
}

}  // namespace watch
