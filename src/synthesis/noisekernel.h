// Inside the synthesis folder: the vector kernel of the additive noise,
// compiled for every instruction set the library knows and chosen at run time
// for the processor. It gives the bits of the sample-by-sample draw.
#pragma once

#include <cstdint>

// Adds gaussRandom(seed, 0, sigma) to the first samples of pure, in order,
// into noisy (16-bit wrap-around) as a whole number of vectors of samples, and
// leaves seed where those draws leave it. Returns the samples done (0..count);
// the caller draws the rest.
int32_t addGaussNoise(int16_t& seed, int16_t sigma, const int16_t* pure, int16_t* noisy, int32_t count);

// The name of the instruction set the noise kernel runs on.
const char* noiseKernelTarget();
