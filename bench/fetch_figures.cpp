#include "fetch_figures.h"

#include "bench_clock.h"
#include "oculant/client.h"

FetchFigures measureFetch(int width, int height, double seconds, bool withTurns) {
  FetchFigures figures = {};
  oculant::Client client;
  oculant::Frame left, right;
  auto fits = [&](const oculant::Frame& frame) {
    const bool fit = frame.width == width && frame.height == height &&
                     frame.pixels.size() == static_cast<size_t>(frame.stride) * height;
    if (!fit) ++figures.wrongAnswers;
    return fit;
  };
  figures.framesPerSecond =
      ratePerSecond(seconds, [&] { return client.grab(oculant::Eye::LEFT, &left) && fits(left); });
  figures.rightPerSecond = ratePerSecond(
      seconds, [&] { return client.grab(oculant::Eye::RIGHT, &right) && fits(right); });
  figures.pairsPerSecond = ratePerSecond(
      seconds, [&] { return client.grabPair(&left, &right) && fits(left) && fits(right); });
  oculant::StereoCapture pair;
  figures.groundTruthPairsPerSecond = ratePerSecond(seconds, [&] {
    return client.captureStereo(&pair) && fits(pair.left.colour) && fits(pair.right.colour);
  });
  if (withTurns) {
    double heading = 90;
    figures.turnedPerSecond = ratePerSecond(seconds, [&] {
      heading = heading == 90 ? 91 : 90;
      return client.sendHeading(heading) && client.grab(oculant::Eye::LEFT, &left) && fits(left);
    });
    client.sendHeading(90);
  }
  return figures;
}
