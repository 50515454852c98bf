#include "voice/codec/gain.h"

#include <cmath>

#include "voice/codec/tables.h"

namespace g729 {

double PredictGain(const double pastEnergy[kMaOrder], const double code[kSubframe])
{
    double energy = kEnergyFloor;
    for (int i = 0; i < kSubframe; ++i)
        energy += code[i] * code[i];
    double predicted = kMeanEnergy - 10.0 * std::log10(energy / kSubframe);
    for (int k = 0; k < kMaOrder; ++k)
        predicted += pred[k] * pastEnergy[k];
    return std::pow(10.0, 0.05 * predicted);
}

void PushGainEnergy(double pastEnergy[kMaOrder], double energy)
{
    for (int k = kMaOrder - 1; k > 0; --k)
        pastEnergy[k] = pastEnergy[k - 1];
    pastEnergy[0] = energy;
}

void UpdateGainMemory(double pastEnergy[kMaOrder], double correction)
{
    PushGainEnergy(pastEnergy, 20.0 * std::log10(correction));
}

void DecodeGains(int index, double pastEnergy[kMaOrder], const double code[kSubframe],
                 double* gainPitch, double* gainCode)
{
    int i1 = imap1[(index >> 4) & 0x7];
    int i2 = imap2[index & 0xf];
    *gainPitch = gbk1[i1][0] + gbk2[i2][0];
    double correction = gbk1[i1][1] + gbk2[i2][1];
    *gainCode = PredictGain(pastEnergy, code) * correction;
    UpdateGainMemory(pastEnergy, correction);
}

}  // namespace g729
