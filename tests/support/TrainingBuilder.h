// Trainings for tests, pictures and benchmarks: a rowed session with plausible values.
#pragma once

#include "foundation/core/Types.h"

// The four parameter tables, built once per test program.
void EnsureParameterTables();

// A session of `strokes` strokes at 30 strokes a minute (two hours for 3,600), each with its
// force curve; with intervalStrokes > 0 the session is an interval session whose intervals
// hold that many strokes each. The record holds user content and is not modified.
TTraining MakeRowedTraining(int strokes, int intervalStrokes = 0);
