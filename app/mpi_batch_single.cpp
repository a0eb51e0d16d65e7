// The batch command of a program built without MPI: a run is always a
// one-process run. Started by mpirun anyway, process 0 runs the whole grid
// and the others leave at once, so the files are written once.
#include "app/mpi_batch.h"
#include "app/signals.h"

#include <cstdio>

int runSimulateBatch(const SimulateOptions& options)
{
    const int rank = mpiLauncherRank();
    if (rank > 0) {
        std::fprintf(stderr, "pulsebench simulate: built without MPI; process %d leaves the run to process 0\n", rank);
        return 0;
    }
    if (rank == 0)
        std::fprintf(stderr, "pulsebench simulate: built without MPI; process 0 runs the whole grid\n");
    return runSimulateInterruptibly(options);
}
