// The processor time the process has used, for VantorRec's --stats.
#pragma once

namespace vantor {

// Processor time of all the process's threads, user and system, in seconds; 0 when the
// system cannot say.
double ProcessCpuSeconds();

}  // namespace vantor
