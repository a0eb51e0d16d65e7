// `pulsebench simulate` on a cluster: the trials of the grid split over the
// processes that mpirun started, rank 0 writing the files a one-process run
// writes. Used by the program's main; built from mpi_batch.cpp when CMake
// finds MPI, from mpi_batch_single.cpp (one process) when it does not.
#pragma once

#include <cstdlib>

#include "app/simulate_command.h"

// The rank a launcher gave this process (mpirun of Open MPI or MPICH, srun
// with PMI or PMIx), or -1 when no launcher started it: a plain start never
// initialises MPI at all.
inline int mpiLauncherRank()
{
    for (const char* name : {"OMPI_COMM_WORLD_RANK", "PMIX_RANK", "PMI_RANK"})
        if (const char* value = std::getenv(name))
            return std::atoi(value);
    return -1;
}

// The batch command: under an MPI launcher, this process's part of the run
// split over every process of the job (rank 0 hands out the ranges of trials,
// adds the sums and writes the files); otherwise runSimulate. Returns the
// program's exit code: 0 when the files were written, 1 when the run was
// refused or a process failed (nothing is written then).
int runSimulateBatch(const SimulateOptions& options);
