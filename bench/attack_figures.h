// A healthy client's frame fetches while a hostile peer works on the same camera, beside the
// same fetches without it.
#pragma once

struct AttackFigures {
  double quietPerSecond;     // one camera's frames per second, nobody else about
  double attackedPerSecond;  // the same while the hostile peer is at work
  long failedFetches;        // fetches under attack that brought no whole frame
};

// Fetches from the left camera for about `seconds`, first alone, then while a peer keeps 100
// idle connections open to it, asks it for frames every 100 ms through a mailbox that takes
// the deliveries and never answers and for frames to a window that does not exist, keeps 50
// requests open whose deliveries it answers only after 1.9 s each, and another process stays
// stopped holding the runtime folder's lock. Every frame must be width x height.
AttackFigures measureFetchUnderAttack(int width, int height, double seconds);
