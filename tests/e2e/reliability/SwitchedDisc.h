// The add-on disc in drive D, put in and taken out by renaming its folder: each change is
// whole and at once, so no search or setup start ever meets a half-copied or half-deleted
// program, and a setup program running from the disc is not pulled from under itself
// (which would try the test machine rather than the wizard).
#ifndef SWITCHED_DISC_H
#define SWITCHED_DISC_H

#include <string>

#include "ToolDriver.h"

class SwitchedDisc {
public:
    // Out at first.
    SwitchedDisc()
    {
        const std::string setup = m_drive.SetupPath();  // "D:\<folder>\Setup.exe"
        m_in = m_drive.Root() + setup.substr(3, setup.find_last_of('\\') - 3);
        m_out = m_drive.Root() + "out";
        m_drive.InsertAddOnDisc();
        Remove();
    }
    void Insert() { ::MoveFileA(m_out.c_str(), m_in.c_str()); }
    void Remove() { ::MoveFileA(m_in.c_str(), m_out.c_str()); }

private:
    driver::DiscDrive m_drive{ 'D' };
    std::string m_in, m_out;
};

#endif
