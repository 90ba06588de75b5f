// Frame fetches from a running bench through the client library, as a user's program does.
#pragma once

struct FetchFigures {
  double framesPerSecond;            // the left camera, the view unchanged between fetches
  double rightPerSecond;             // the same from the right camera
  double pairsPerSecond;             // both cameras
  double turnedPerSecond;            // one camera, the rig turned before every fetch
  double groundTruthPairsPerSecond;  // both cameras' colour, depth and camera model
  long wrongAnswers;                 // frames of the wrong size or missing
};

// Fetches for about `seconds` per figure; every frame must be width x height.
FetchFigures measureFetch(int width, int height, double seconds, bool withTurns);
