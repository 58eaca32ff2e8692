// The NSIS peer (NsisPeer.nsi), driven from outside as the tool is: its search's CPU, and a
// walk through its whole job that shows it does that job before its figures are compared.
// Its start-up is measured by MeasureStart with the welcome text and Closing::Cancel.
//
// The peer's buttons are those of NSIS's outer window: Next 1, Cancel 2, Back 3.
#ifndef BENCH_PEER_MEASUREMENTS_H
#define BENCH_PEER_MEASUREMENTS_H

#include <string>

#include "Measurements.h"

namespace bench {

// A complete search over empty drives: CPU of the peer from the click on Next on its disc
// page until its not-found text is shown and painted.
SearchSample MeasurePeerSearch(const std::string& exe, std::string* pError);

// With the library, a disc in D: and the two shortcuts (all users' desktop, the user's
// start menu): Next, Next, and the peer must run the disc's setup program, delete both
// shortcuts and close by itself. False and pError when it does not.
bool CheckPeerJob(const std::string& exe, std::string* pError);

}  // namespace bench

#endif
