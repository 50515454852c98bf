#include "voice/codec/concealment.h"

#include <algorithm>

#include "voice/codec/gain.h"
#include "voice/codec/lsp.h"

namespace g729 {

unsigned NextRandom(unsigned* seed)
{
    *seed = (*seed * kRandomMultiplier + kRandomIncrement) & 0xffffu;
    return *seed;
}

void RandomCodebook(unsigned* seed, int* positions, int* signs)
{
    *positions = static_cast<int>(NextRandom(seed) & 0x1fffu);
    *signs = static_cast<int>(NextRandom(seed) & 0xfu);
}

void ConcealLsp(const ConcealmentMemory& c, double memory[kMaOrder][kOrder], double lsp[kOrder])
{
    double residual[kOrder];
    LsfPredictionResidual(c.lsf, memory, c.maMode, residual);
    UpdateLsfMemory(memory, residual);
    LsfToLsp(c.lsf, lsp);
}

void ConcealGains(ConcealmentMemory& c, double pastEnergy[kMaOrder], double* gainPitch,
                  double* gainCode)
{
    c.gainPitch *= kErasedPitchDecay;
    c.gainCode *= kErasedCodeDecay;
    *gainPitch = c.gainPitch;
    *gainCode = c.gainCode;

    double mean = 0.0;
    for (int k = 0; k < kMaOrder; ++k)
        mean += pastEnergy[k];
    PushGainEnergy(pastEnergy, std::max(mean / kMaOrder - kErasedEnergyStep, kErasedEnergyFloor));
}

}  // namespace g729
