#include "voice/codec/acelp_search.h"

#include "voice/codec/codebooks.h"
#include "voice/codec/weighting.h"

namespace g729 {
namespace {

// Everything the search needs: |d| and the correlation matrix of h with the signs of d
// folded in, so every pulse counts as positive.
struct SearchTables {
    double sign[kSubframe];
    double d[kSubframe];
    double rr[kSubframe][kSubframe];
};

// A set of pulses under consideration with its correlation and filtered energy.
struct Candidate {
    int pos[kPulses];
    double corr;
    double energy;
};

// Adds pulse at p to a partial candidate: the energy grows by rr[p][p] plus twice the cross
// terms with the pulses already placed.
void AddPulse(const SearchTables& s, const Candidate& from, int count, int p, Candidate* to)
{
    double e = from.energy + s.rr[p][p];
    for (int k = 0; k < count; ++k)
        e += 2.0 * s.rr[p][from.pos[k]];
    *to = from;
    to->pos[count] = p;
    to->corr = from.corr + s.d[p];
    to->energy = e;
}

// corr^2, or -1 for the sentinel (correlations of real candidates are never negative).
double Square(const Candidate& c)
{
    return c.corr < 0.0 ? -1.0 : c.corr * c.corr;
}

// a is better than b when corr^2 / energy is larger (strictly).
bool Better(const Candidate& a, const Candidate& b)
{
    return Square(a) * b.energy > Square(b) * a.energy;
}

Candidate Empty()
{
    Candidate c{{0, 0, 0, 0}, 0.0, 0.0};
    return c;
}

// Worst possible candidate for initialising a running maximum.
Candidate Worst()
{
    Candidate c = Empty();
    c.corr = -1.0;
    c.energy = 1.0;
    return c;
}

void FillTables(const double x[kSubframe], const double h[kSubframe], SearchTables* s)
{
    double dn[kSubframe];
    BackwardFilter(h, x, dn);
    const double* sign = s->sign;
    for (int i = 0; i < kSubframe; ++i) {
        s->sign[i] = dn[i] >= 0.0 ? 1.0 : -1.0;
        s->d[i] = dn[i] * sign[i];
    }
    // rr[i][i+k] = sum_{m=k..39-i} h[m] h[m-k], accumulated from the end of each diagonal.
    for (int k = 0; k < kSubframe; ++k) {
        double acc = 0.0;
        for (int i = kSubframe - 1 - k; i >= 0; --i) {
            acc += h[kSubframe - 1 - i] * h[kSubframe - 1 - i - k];
            double v = acc * sign[i] * sign[i + k];
            s->rr[i][i + k] = v;
            s->rr[i + k][i] = v;
        }
    }
}

// The two positions of a track with the largest |d|, the larger first.
void TwoLargest(const SearchTables& s, int track, int out[2])
{
    int prev = -1;
    for (int n = 0; n < 2; ++n) {
        double max = -1.0;
        int at = track;
        for (int p = track; p < kSubframe; p += kPulseStep) {
            if (s.d[p] > max && p != prev) {
                max = s.d[p];
                at = p;
            }
        }
        out[n] = at;
        prev = at;
    }
}

// One depth-first search over the tracks in the order given (track 4 meaning the second
// half of track 3): first level, a pulse on tracks[0] (one of its two strongest positions)
// with any position of tracks[1]; second level, every pair on tracks[2] and tracks[3] given
// the best first-level pair. Returns the four pulses, in search order, of the best result.
Candidate DepthFirst(const SearchTables& s, const int tracks[kPulses])
{
    int b = tracks[1], c = tracks[2], e = tracks[3];
    int starts[2];
    TwoLargest(s, tracks[0], starts);
    Candidate level1 = Worst();
    for (int pa : starts) {
        Candidate one;
        AddPulse(s, Empty(), 0, pa, &one);
        for (int pb = b; pb < kSubframe; pb += kPulseStep) {
            Candidate two;
            AddPulse(s, one, 1, pb, &two);
            if (Better(two, level1))
                level1 = two;
        }
    }
    Candidate level2 = Worst();
    for (int pc = c; pc < kSubframe; pc += kPulseStep) {
        Candidate three;
        AddPulse(s, level1, 2, pc, &three);
        for (int pe = e; pe < kSubframe; pe += kPulseStep) {
            Candidate four;
            AddPulse(s, three, 3, pe, &four);
            if (Better(four, level2))
                level2 = four;
        }
    }
    return level2;
}

}  // namespace

FixedCodeword SearchFixedCodebook(const double x[kSubframe], const double h[kSubframe])
{
    SearchTables s;
    FillTables(x, h, &s);

    // Track 3 has two interleaved halves (positions 3 mod 5 and 4 mod 5); each is tried with
    // two search orders. pulse[k] is the position found on track k.
    int pulse[kPulses] = {0, 1, 2, 3};
    Candidate best = Worst();
    for (int t3 = 3; t3 <= 4; ++t3) {
        const int orders[2][kPulses] = {{2, t3, 0, 1}, {t3, 0, 1, 2}};
        for (const int* order : orders) {
            Candidate c = DepthFirst(s, order);
            if (!Better(c, best))
                continue;
            best = c;
            for (int k = 0; k < kPulses; ++k)
                pulse[order[k] < 3 ? order[k] : 3] = c.pos[k];
        }
    }

    // The sign of each pulse is that of the target correlation at its position.
    FixedCodeword cw{0, 0};
    for (int k = 0; k < kPulses; ++k) {
        if (s.sign[pulse[k]] > 0.0)
            cw.signs |= 1 << k;
    }
    cw.positions = pulse[0] / kPulseStep | (pulse[1] / kPulseStep) << 3 |
                   (pulse[2] / kPulseStep) << 6 | (pulse[3] % kPulseStep - 3) << 9 |
                   (pulse[3] / kPulseStep) << 10;
    return cw;
}

void RenderFixedCodeword(FixedCodeword cw, const double h[kSubframe], int t, double sharp,
                         double code[kSubframe], double y[kSubframe])
{
    FixedCodebookVector(cw.positions, cw.signs, code);
    for (int i = 0; i < kSubframe; ++i)
        y[i] = 0.0;
    for (int p = 0; p < kSubframe; ++p) {
        if (code[p] == 0.0)
            continue;
        for (int i = p; i < kSubframe; ++i)
            y[i] += code[p] * h[i - p];
    }
    SharpenForPitch(code, t, sharp);
}

}  // namespace g729
