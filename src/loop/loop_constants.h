#pragma once

// Every number the loop search works with: its bounds and defaults, what it compares around a
// seam, and when a loop counts as repeating and as honest.

namespace melo {

// Bounds and defaults of a search.
inline constexpr double kDefaultMinLoopSeconds = 0.2;
inline constexpr int kDefaultLoopCandidates = 5;
inline constexpr int kMaxLoopCandidates = 50;
inline constexpr double kMaxCrossfadeMs = 2000.0;
inline constexpr double kLoopSnapMs = 5.0; // how far user points move to the best seam

// A loop whose seam scores below this does not repeat: the material around its end is not
// the material around its start.
inline constexpr double kRepeatingScore = 0.8;
// A loop is honest only when most of the searched range sounds like it (level and spectrum
// over stretches of the loop's length): a recording whose level and spectrum change
// throughout (speech, a chord progression) has no steady middle that a loop could stand for.
inline constexpr double kSteadyShare = 0.6;

namespace loop_search {

inline constexpr double kWindowMs = 20.0;   // waveform compared on each side of a seam
inline constexpr double kLevelMs = 50.0;    // level compared on each side of a seam
inline constexpr double kSpectrumMs = 75.0; // spectrum compared around each point
inline constexpr double kSeamShiftMs =
    2.0;                              // how far both points move together to the smallest step
inline constexpr int kFftSize = 4096; // of the blocks the correlation runs over (at least)
inline constexpr int kAnchors = 16;   // loop starts the correlation runs from
inline constexpr int kPeaksPerAnchor = 12;
inline constexpr double kNearlyEqualNcc = 0.02; // peaks this close to an anchor's best are kept
inline constexpr double kLengthBonus = 0.01;    // the whole range's length is worth this much score
inline constexpr int kBands = 24;               // spectrum bands, evenly in log frequency
inline constexpr double kLowestBandHz = 40.0;
// A loop over nearly the whole recording has no recorded material around its points: its seam
// as it plays is looked for within this distance of the recording's ends.
inline constexpr double kPlayedSeamReachMs = 2000.0;
// The user's points snap on a grid of at most this many steps on each side first.
inline constexpr int kSnapGrid = 64;
// Two candidates are one loop for the list when their lengths differ by at most kSameLengthMs
// and their starts by at most kSameStartMs.
inline constexpr double kSameLengthMs = 1.0;
inline constexpr double kSameStartMs = 50.0;

// A stretch of the searched range sounds like the loop when its level is within kLikeLevelDb
// and its spectrum, at the same level, differs by at most kLikeShapeDb in the mean over the
// bands (a steady engine or wind: below 1.5 dB; another chord of a progression: 2 to 8 dB).
inline constexpr double kLikeLevelDb = 3.0;
inline constexpr double kLikeShapeDb = 1.5;
// The loop's sound comes again at a lag when, in the median of up to kRepeatFrames frames
// spread over the loop, level and spectrum differ from the frames that far on by at most these
// (steady sounds: up to 3 dB of spectrum, as noise varies from frame to frame; speech: about
// 10 dB at every lag).
inline constexpr int kRepeatFrames = 64;
inline constexpr double kRepeatShapeDb = 5.0;
inline constexpr double kRepeatLevelDb = 4.0;
// Band powers this far below a spectrum's strongest band count at that floor, and frames this
// far below the range's loudest count as equally quiet.
inline constexpr double kShapeFloorDb = 40.0;
inline constexpr double kQuietDb = 50.0;

// The steady middle of a recording: its envelope in windows of kEnvelopeMs every kEnvelopeHopMs,
// the sustained level where it reaches kSustainShare of its median loud value, and kSteadyMarginMs
// kept off the end of the attack and the start of the decay.
inline constexpr double kEnvelopeHopMs = 10.0;
inline constexpr double kEnvelopeMs = 100.0; // smooths out pulses and vibrato
inline constexpr double kLoudShare = 0.3;    // of the peak: not near silence
inline constexpr double kSustainShare = 0.9;
inline constexpr double kSteadyMarginMs = 100.0;

} // namespace loop_search
} // namespace melo
