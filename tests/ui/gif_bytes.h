#pragma once
// Writes small animated GIFs for the control tests: each frame one solid
// colour, with its own delay in hundredths of a second.
#include <QByteArray>
#include <QColor>

#include <vector>

struct GifFrame {
  QColor colour;
  int delay;  // hundredths of a second
};

QByteArray MakeGif(int width, int height, const std::vector<GifFrame>& frames);
