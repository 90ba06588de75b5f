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
  const size_t pixels = static_cast<size_t>(width) * height;
  figures.withIdsPairsPerSecond = ratePerSecond(seconds, [&] {
    if (!client.captureStereo(&pair, nullptr, true)) return false;
    const bool idsFit =
        pair.left.objectIds.values.size() == pixels && pair.right.objectIds.values.size() == pixels;
    if (!idsFit) ++figures.wrongAnswers;
    return idsFit && fits(pair.left.colour) && fits(pair.right.colour);
  });
  if (withTurns) {
    double heading = 90;
    figures.turnedPerSecond = ratePerSecond(seconds, [&] {
      heading = heading == 90 ? 91 : 90;
      return client.setHeading(heading) && client.grab(oculant::Eye::LEFT, &left) && fits(left);
    });
    client.setHeading(90);
  }
  return figures;
}
