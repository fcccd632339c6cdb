// Hydration heat in model mode: an equivalent age from the running mean
// concrete temperature, and two closed-form hydration curves.
#pragma once

#include "model/model_state.h"
#include "model/run.h"
#include "hydration/source.h"

namespace ph {

// The run-long state of the hydration model: the time-weighted mean of the
// mean concrete temperature (during a call, the weighted sum), and, for the
// abtau curve, the heat released so far per unit volume. A run starts with
// W = 0 and nothing released.
struct Workspc {
  float w = 0.0f;
  Release release;  // abtau's, held to P1 x qtot
};

float eqvtime(float th, float T);
// Degree of hydration P1*exp(-(P3/te)^P2) with an Arrhenius factor on the rate.
float abtau(float te, float P1, float P2, float P3, float E, float tconc, float& state);
// Sigmoid curve; state is the fraction not yet hydrated.
float tmodel(float te, float P1, float P2, float P3, float E, float tconc, float& state);

// Heat rate per unit volume and second of the step ending at `time`.
void modsource(Run& run, Workspc& workspc, float time, float qtot, float tconc, const float (&P)[3],
               float dtstep, float& qused, int modflag, float& OldRT, float& NewRT);

}  // namespace ph
