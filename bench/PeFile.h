// What the benchmark reads from a PE file without loading it.
#ifndef BENCH_PE_FILE_H
#define BENCH_PE_FILE_H

#include <string>
#include <vector>

namespace bench {

// Bytes of a PE file: the whole file and its .rsrc section's raw data. False when the file
// cannot be read or is no PE file.
bool ReadPeSizes(const std::string& path, double* pFile, double* pResources);

// The names of the DLLs the file imports, in lower case, sorted. False when it cannot be read.
bool ReadImportedDlls(const std::string& path, std::vector<std::string>* pDlls);

}  // namespace bench

#endif
