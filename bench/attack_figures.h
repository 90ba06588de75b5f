// A healthy client's frame fetches while a hostile peer works on the same camera, beside the
// same fetches without it.
#pragma once

struct AttackFigures {
  double quietPerSecond;     // one camera's frames per second, nobody else about
  double attackedPerSecond;  // the same while the hostile peer is at work
  long failedFetches;        // fetches under attack that brought no whole frame
};

// Fetches from the left camera for about `seconds`, first alone, then while a peer keeps 100
// idle connections open to it and asks it for frames every 100 ms through a mailbox that takes
// the deliveries and never answers. Every frame must be width x height.
AttackFigures measureFetchUnderAttack(int width, int height, double seconds);
