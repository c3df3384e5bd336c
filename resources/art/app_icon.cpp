#include "app_icon.hpp"

#include <algorithm>
#include <cmath>

namespace n_zorbel::n_art {

namespace {

struct t_Row {
  float first;  // left edge of the first hole
  float width;
  float pitch;
  int count;
};

// Sprocket holes along a band: as many as fit with the design's proportions,
// and, where the pixels allow it, the same margin at both ends, so that small
// sizes stay symmetric.
t_Row HoleRow(float left, float right, float k) {
  const float margin = std::max(1.0f, std::round(12 * k));
  const float available = right - left - 2 * margin;
  const float width0 = std::max(1.0f, std::round(18 * k));
  const float pitch0 = std::max(2 * width0, std::round(32 * k));
  for (float width : {width0, width0 + 1})
    for (float pitch : {pitch0, pitch0 + 1}) {
      const int count = static_cast<int>((available - width) / pitch) + 1;
      const float span = pitch * static_cast<float>(count - 1) + width;
      const float leftover = right - left - span;
      if (std::fmod(leftover, 2.0f) == 0 || k >= 0.25f)
        return {left + std::floor(leftover / 2), width, pitch, count};
    }
  const int count = static_cast<int>((available - width0) / pitch0) + 1;
  const float span = pitch0 * static_cast<float>(count - 1) + width0;
  return {left + std::floor((right - left - span) / 2), width0, pitch0, count};
}

// A beamed pair of eighth notes centred on (cx, cy), `u` pixels per design
// unit; the stems are put on whole pixels and the heads hung from them.
std::vector<t_Shape> Notes(float cx, float cy, float u) {
  const float stemWidth = std::max(1.0f, std::round(8 * u));
  const float stem1Right = std::round(cx - 15 * u);
  const float stem2Right = std::round(cx + 47 * u);
  const float headRx = 17 * u, headRy = 12.5f * u;
  const float head1y = cy + 32 * u, head2y = cy + 22 * u;
  const float beam = std::max(1.5f, 16 * u);
  const float beamLeftTop = cy - 34 * u, beamRightTop = cy - 44 * u;
  const float stem1Left = stem1Right - stemWidth, stem2Left = stem2Right - stemWidth;
  return {
      t_Ellipse{stem1Right - 16 * u, head1y, headRx, headRy, -22},
      t_Ellipse{stem2Right - 16 * u, head2y, headRx, headRy, -22},
      t_RoundRect{stem1Left, beamLeftTop + beam / 2, stem1Right, head1y},
      t_RoundRect{stem2Left, beamRightTop + beam / 2, stem2Right, head2y},
      t_Polygon{{{stem1Left, beamLeftTop},
                 {stem2Right, beamRightTop},
                 {stem2Right, beamRightTop + beam},
                 {stem1Left, beamLeftTop + beam}}},
  };
}

// The same pair for windows only a dozen pixels high: every edge on a whole
// pixel, a level beam and heads on one line, so nothing turns to mush.
std::vector<t_Shape> SmallNotes(float left, float top, float right, float bottom) {
  const float height = bottom - top;
  const float headWidth = height >= 14 ? 5 : height >= 10 ? 4 : 3;
  const float headHeight = height >= 14 ? 4 : height >= 10 ? 3 : 2;
  const float gap = height >= 14 ? 8 : height >= 10 ? 6 : 5;  // from the first stem to the second
  const float margin = height >= 14 ? 2 : 1;
  const float first = left + std::floor((right - left - (headWidth + gap)) / 2);
  const float stem1 = first + headWidth, stem2 = stem1 + gap;  // right edges of the stems
  const float beamTop = top + margin, headBottom = bottom - margin;
  const float headY = headBottom - headHeight / 2;
  std::vector<t_Shape> shapes{t_RoundRect{stem1 - 1, beamTop, stem2, beamTop + 2}};
  for (float stem : {stem1, stem2}) {
    shapes.push_back(t_RoundRect{stem - 1, beamTop, stem, headY});
    shapes.push_back(t_Ellipse{stem - headWidth / 2, headY, headWidth / 2 + 0.15f, headHeight / 2 + 0.15f,
                               height >= 10 ? -15.0f : 0.0f});
  }
  return shapes;
}

// A price tag pointing up and to the left, its far end at (x, y): the sign
// of tagging, laid over the corner of the film.
std::vector<t_Shape> Tag(float x, float y, float k, std::vector<t_Shape>& holes) {
  const float length = 80 * k, half = 22 * k, point = 20 * k;
  const float angle = -135 * 3.14159265f / 180;  // towards the upper left
  const float ux = std::cos(angle), uy = std::sin(angle);
  auto at = [&](float along, float across) {
    return t_Point{x + ux * along - uy * across, y + uy * along + ux * across};
  };
  const t_Point hole = at(length - point - 2 * k, 0);
  holes.push_back(t_Ellipse{hole.x, hole.y, 6 * k, 6 * k});
  return {t_Polygon{
      {at(0, -half), at(length - point, -half), at(length, 0), at(length - point, half), at(0, half)},
      5 * k}};
}

}  // namespace

std::vector<t_Layer> IconLayers(int size) {
  const float s = static_cast<float>(size);
  const float k = s / 256;  // pixels per design unit
  const bool small = size <= 24;

  // The film piece and its window, edges on whole pixels.
  const float bodyLeft = std::round(8 * k), bodyRight = s - bodyLeft;
  const float bodyTop = small ? std::round(16 * k) : std::round(28 * k), bodyBottom = s - bodyTop;
  const float windowTop = !small ? std::round(72 * k) : size <= 20 ? bodyTop + 3 : bodyTop + 4;
  const float windowBottom = s - windowTop;
  const float band = windowTop - bodyTop;
  const float windowLeft = std::max(bodyLeft + 1, std::round(24 * k)), windowRight = s - windowLeft;
  const t_RoundRect body{bodyLeft, bodyTop, bodyRight, bodyBottom, std::max(1.0f, 20 * k)};
  const t_RoundRect window{windowLeft, windowTop, windowRight, windowBottom, 6 * k};

  std::vector<t_Layer> layers;

  t_Layer film{{body},
               {},
               {},
               t_LinearGradient{{0, bodyTop}, {0, bodyBottom}, {{0, Hex(0x434756)}, {1, Hex(0x1F2129)}}}};
  if (size >= 32) film.shadow = t_Shadow{0, 4 * k, 5 * k, Hex(0x000000, 0.4f)};
  layers.push_back(film);
  if (size >= 32) {
    // A thin light along the top edge gives the film its thickness.
    t_RoundRect lower = body;
    lower.y0 += std::max(1.0f, 3 * k);
    lower.y1 += std::max(1.0f, 3 * k);
    layers.push_back({{body}, {lower}, {}, Hex(0xFFFFFF, 0.22f)});
  }

  // Sprocket holes, light shining through them.
  const float holeHeight = std::max(1.0f, std::round(16 * k));
  const float holeOffset = std::floor((band - holeHeight) / 2);
  const t_Row row = HoleRow(bodyLeft, bodyRight, k);
  std::vector<t_Shape> holes;
  for (float top : {bodyTop + holeOffset, windowBottom + (band - holeOffset - holeHeight)})
    for (int i = 0; i < row.count; ++i) {
      const float left = row.first + row.pitch * static_cast<float>(i);
      holes.push_back(t_RoundRect{left, top, left + row.width, top + holeHeight, 3 * k});
    }
  layers.push_back({holes, {}, {}, Hex(0xECEEF3)});

  // The picture: a warm music-video dusk.
  layers.push_back({{window},
                    {},
                    {},
                    t_LinearGradient{{windowLeft, windowTop},
                                     {windowRight, windowBottom},
                                     {{0, Hex(0x5B3CF0)}, {0.55f, Hex(0xE4408F)}, {1, Hex(0xFFB13F)}}}});

  if (size >= 48) {
    // The picture sits a little below the film's surface.
    t_RoundRect lower = window;
    lower.y0 += 3 * k;
    lower.y1 += 3 * k;
    layers.push_back({{window}, {lower}, {}, Hex(0x10001C, 0.3f)});
  }

  const float windowHeight = windowBottom - windowTop;
  t_Layer notes{size <= 32 ? SmallNotes(windowLeft, windowTop, windowRight, windowBottom)
                           : Notes(s / 2 - (size >= 48 ? 10 * k : 0), (windowTop + windowBottom) / 2,
                                   windowHeight * (size <= 48 ? 0.86f : 0.8f) / 88),
                {},
                {},
                Hex(0xFFFFFF)};
  if (size >= 32) notes.shadow = t_Shadow{0, 3 * k, 4 * k, Hex(0x2A0A3A, 0.45f)};
  layers.push_back(notes);

  if (size >= 48) {
    t_Layer tag{
        {}, {}, {}, t_LinearGradient{{0, 150 * k}, {0, 250 * k}, {{0, Hex(0xFFD45A)}, {1, Hex(0xF4A223)}}}};
    tag.shapes = Tag(226 * k, 226 * k, k, tag.holes);
    tag.shadow = t_Shadow{0, 3 * k, 5 * k, Hex(0x000000, 0.45f)};
    layers.push_back(tag);
  }
  return layers;
}

t_Canvas DrawIcon(int size) {
  t_Canvas canvas(size, size);
  for (const t_Layer& layer : IconLayers(size)) canvas.Draw(layer);
  return canvas;
}

}  // namespace n_zorbel::n_art
