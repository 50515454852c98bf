#include "voice/codec/states.h"

#include <cstring>

#include "voice/codec/tables.h"

namespace g729 {
namespace {

void InitCodedPast(CodedPast& past)
{
    std::memset(&past, 0, sizeof past);
    std::memcpy(past.lsp, lsp_reset, sizeof past.lsp);
    for (auto& row : past.lsfMemory)
        std::memcpy(row, freq_prev_reset, sizeof row);
    std::memcpy(past.gainEnergy, past_qua_en_reset, sizeof past.gainEnergy);
    past.sharpening = kSharpMin;
}

}  // namespace

void InitEncoder(EncoderState& st)
{
    std::memset(&st, 0, sizeof st);
    InitCodedPast(st.past);
    std::memcpy(st.lspUnquantised, lsp_reset, sizeof st.lspUnquantised);
    for (double& e : st.tamingErrors)
        e = 1.0;
}

void InitDecoder(DecoderState& st)
{
    std::memset(&st, 0, sizeof st);
    InitCodedPast(st.past);
    std::memcpy(st.conceal.lsf, freq_prev_reset, sizeof st.conceal.lsf);
    st.conceal.seed = kConcealSeed;
    st.previousDelay = kInitialDelay;
    InitPostFilter(st.post);
}

void InitPostFilter(PostFilterState& st)
{
    std::memset(&st, 0, sizeof st);
    st.gain = 1.0;
}

}  // namespace g729
