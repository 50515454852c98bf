// Open-loop pitch estimate on the weighted speech, computed on every second sample.
#pragma once

namespace g729 {

// Open-loop delay (20..143) of the frame wsp[0..79]; wsp[-143..-1] is the history. The best
// normalised correlation is found in 20..39, 40..79 and 80..143, and the shorter ranges are
// favoured when their delay is about a half or a third of a longer one.
int OpenLoopPitch(const double* wsp);

}  // namespace g729
