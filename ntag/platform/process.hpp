#pragma once
// The program's own process, set up once before it runs.
namespace n_zorbel::n_ntag {

// Listens for stop requests (stop_request.hpp). On POSIX also names the process "ntag" (started
// through a held descriptor, /proc/self/fd/N, it would be named after the number) and ignores
// SIGXFSZ, so that past a file-size limit (ulimit -f) a write fails (EFBIG) and is taken back
// like any other, where the signal would end the run half way.
void PrepareProcess();

}  // namespace n_zorbel::n_ntag
