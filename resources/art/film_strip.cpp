#include "film_strip.hpp"

#include <cmath>
#include <string>

namespace n_zorbel::n_art {

namespace {

constexpr int kWidth = 256;

// Pixel edges (a shape from 32 to 220 covers columns 32 to 219). The window
// and the black edges around it must sit exactly here: the preview places
// the picture under them to the pixel.
constexpr float kFilmLeft = 2, kFilmRight = 250, kFilmTop = 4;
constexpr float kWindowLeft = 32, kWindowRight = 220, kWindowTop = 11;
constexpr float kEdgeLeft = 29, kEdgeRight = 223;
constexpr float kHoleWidth = 11, kHoleHeight = 7, kHolePitch = 13, kHoleRadius = 2;
constexpr float kLeftHoles = 10, kRightHoles = 231;

float Grain(int x, int y) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFF) / 32767.5f - 1;
}

// Edge print in a 3 by 5 pixel font, as film carries along its margin.
struct t_Glyph {
  char c;
  const char* rows[5];
};
constexpr t_Glyph kFont[] = {
    {'0', {"###", "#.#", "#.#", "#.#", "###"}}, {'1', {".#.", "##.", ".#.", ".#.", "###"}},
    {'2', {"###", "..#", "###", "#..", "###"}}, {'4', {"#.#", "#.#", "###", "..#", "..#"}},
    {'5', {"###", "#..", "###", "..#", "###"}}, {'7', {"###", "..#", "..#", "..#", "..#"}},
    {'9', {"###", "#.#", "###", "..#", "###"}}, {'M', {"#.#", "###", "###", "#.#", "#.#"}},
    {'I', {"###", ".#.", ".#.", ".#.", "###"}}, {'V', {"#.#", "#.#", "#.#", "#.#", ".#."}},
    {'O', {".#.", "#.#", "#.#", "#.#", ".#."}}, {'R', {"##.", "#.#", "##.", "#.#", "#.#"}},
    {'A', {".#.", "#.#", "###", "#.#", "#.#"}}, {'>', {"#..", "##.", "###", "##.", "#.."}},
};

// Text reading downwards (turned a quarter clockwise), its glyphs' tops
// facing right; `left` and `top` are the first pixel.
std::vector<t_Shape> EdgePrint(const std::string& text, float left, float top) {
  std::vector<t_Shape> pixels;
  float y = top;
  for (char c : text) {
    for (const t_Glyph& glyph : kFont) {
      if (glyph.c != c) continue;
      for (int r = 0; r < 5; ++r)
        for (int col = 0; col < 3; ++col)
          if (glyph.rows[r][col] == '#') {
            const float px = left + static_cast<float>(4 - r), py = y + static_cast<float>(col);
            pixels.push_back(t_RoundRect{px, py, px + 1, py + 1});
          }
    }
    y += 4;
  }
  return pixels;
}

std::vector<t_Shape> SprocketHoles(float filmBottom, float grow = 0) {
  const float length = filmBottom - kFilmTop;
  const int count = static_cast<int>((length - kHoleHeight - 6) / kHolePitch) + 1;
  const float first =
      kFilmTop + std::floor((length - (kHolePitch * static_cast<float>(count - 1) + kHoleHeight)) / 2);
  std::vector<t_Shape> holes;
  for (int i = 0; i < count; ++i) {
    const float top = first + kHolePitch * static_cast<float>(i);
    for (float left : {kLeftHoles, kRightHoles})
      holes.push_back(t_RoundRect{left - grow, top - grow, left + kHoleWidth + grow, top + kHoleHeight + grow,
                                  kHoleRadius + grow});
  }
  return holes;
}

}  // namespace

t_Canvas DrawFilmStrip(int height) {
  const float h = static_cast<float>(height);
  const float windowBottom = h - 16;  // the black bar below the window starts here
  const float filmBottom = h - 9;     // and the film ends with it
  t_Canvas canvas(kWidth, height);

  const t_RoundRect film{kFilmLeft, kFilmTop, kFilmRight, filmBottom};
  const t_RoundRect window{kWindowLeft, kWindowTop, kWindowRight, windowBottom};
  const std::vector<t_Shape> holes = SprocketHoles(filmBottom);

  // The film lies a little above whatever is behind it, lit from the upper left.
  t_Layer base{{film}, holes, {}, t_Color{}, t_Shadow{1.0f, 2.0f, 1.6f, Hex(0x000000, 0.6f)}};
  base.holes.push_back(window);
  // Film base: dark grey, a touch lighter towards the top, with a faint grain.
  base.paint = std::function<t_Color(float, float)>([=](float x, float y) {
    const float v = 0.205f + 0.035f * (1 - (y - kFilmTop) / (filmBottom - kFilmTop)) +
                    0.008f * Grain(static_cast<int>(x), static_cast<int>(y));
    return t_Color{v, v, v * 1.04f, 1};
  });
  canvas.Draw(base);

  // Light catches the rim of each hole on its lower side and the film's cut top edge.
  std::vector<t_Shape> lowerRims;
  for (const t_Shape& hole : holes) {
    t_RoundRect lower = std::get<t_RoundRect>(hole);
    lower.y0 += 1;
    lower.y1 += 1;
    lowerRims.push_back(lower);
  }
  canvas.Draw({lowerRims, holes, {}, Hex(0xFFFFFF, 0.16f)});
  canvas.Draw({{t_RoundRect{kFilmLeft, kFilmTop, kFilmRight, kFilmTop + 1}}, {}, {}, Hex(0xFFFFFF, 0.12f)});
  canvas.Draw({{t_RoundRect{kFilmLeft, kFilmTop, kFilmLeft + 1, filmBottom}}, {}, {}, Hex(0xFFFFFF, 0.07f)});
  canvas.Draw(
      {{t_RoundRect{kFilmRight - 1, kFilmTop, kFilmRight, filmBottom}}, {}, {}, Hex(0x000000, 0.25f)});

  // Edge print between the holes and the outer edges.
  const t_Color print = Hex(0xE0B45C, 0.55f);
  canvas.Draw({EdgePrint("MIVORA 5247", 244, kFilmTop + 18), {}, {}, print});
  canvas.Draw({EdgePrint("> 17", 4, filmBottom - 40), {}, {}, print});

  // The black edges beside the window and the black bar below it.
  canvas.Draw({{t_RoundRect{kEdgeLeft, kWindowTop, kEdgeRight, filmBottom}}, {window}, {}, Hex(0x000000)});

  // Whatever the shadows reached, the window and the outermost ring stay clear.
  canvas.Clear(static_cast<int>(kWindowLeft), static_cast<int>(kWindowTop),
               static_cast<int>(kWindowRight) - 1, static_cast<int>(windowBottom) - 1);
  canvas.Clear(0, 0, kWidth - 1, 0);
  canvas.Clear(0, height - 1, kWidth - 1, height - 1);
  canvas.Clear(0, 0, 0, height - 1);
  canvas.Clear(kWidth - 1, 0, kWidth - 1, height - 1);
  return canvas;
}

}  // namespace n_zorbel::n_art
