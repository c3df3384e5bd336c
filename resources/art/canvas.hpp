#pragma once
// A small vector painter: shapes given as signed distance functions, painted
// with anti-aliased edges into a floating-point, premultiplied RGBA canvas.
// The same shapes can be written out as SVG, so the scalable icon and the
// pixel icons come from one description.
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "image_files.hpp"

namespace n_zorbel::n_art {

// Straight alpha, sRGB components from 0 to 1.
struct t_Color {
  float r = 0, g = 0, b = 0, a = 0;
};
t_Color Hex(std::uint32_t rgb, float alpha = 1.0f);
t_Color Mix(const t_Color& from, const t_Color& to, float t);
std::string SvgColor(const t_Color& color);

struct t_Point {
  float x = 0, y = 0;
};

// Pixel (i, j) covers [i, i + 1) x [j, j + 1); distances are in pixels,
// negative inside.
struct t_RoundRect {
  float x0, y0, x1, y1, radius = 0;
};
struct t_Ellipse {
  float cx, cy, rx, ry, degrees = 0;  // rotated clockwise on screen
};
struct t_Polygon {
  std::vector<t_Point> points;
  float radius = 0;  // grown by this much, with round corners
};
using t_Shape = std::variant<t_RoundRect, t_Ellipse, t_Polygon>;

float Distance(const t_Shape& shape, float x, float y);
// The shape filled with `fill` (a colour or a url() reference).
std::string SvgElement(const t_Shape& shape, const std::string& fill);

struct t_GradientStop {
  float offset;
  t_Color color;
};
struct t_LinearGradient {
  t_Point from, to;
  std::vector<t_GradientStop> stops;
  t_Color At(float x, float y) const;
};
// A function paint draws anything, but has no SVG form.
using t_Paint = std::variant<t_Color, t_LinearGradient, std::function<t_Color(float, float)>>;

struct t_Shadow {
  float dx = 0, dy = 0, sigma = 1;
  t_Color color;
};

// What one drawing step paints: the union of `shapes`, less the union of
// `holes`, inside the union of `clip` when it is given.
struct t_Layer {
  std::vector<t_Shape> shapes;
  std::vector<t_Shape> holes;
  std::vector<t_Shape> clip;
  t_Paint paint;
  std::optional<t_Shadow> shadow = std::nullopt;  // cast by the layer's shape, drawn first
};

// Coverage of each pixel, from 0 to 1.
class t_Mask {
 public:
  t_Mask(int width, int height) : m_width(width), m_height(height), m_values(width * height, 0.0f) {}
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  float& At(int x, int y) { return m_values[y * m_width + x]; }
  float At(int x, int y) const { return m_values[y * m_width + x]; }
  // Gaussian blur; the area outside the mask counts as empty.
  t_Mask Blurred(float sigma) const;

 private:
  int m_width, m_height;
  std::vector<float> m_values;
};

class t_Canvas {
 public:
  t_Canvas(int width, int height) : m_width(width), m_height(height), m_pixels(width * height * 4, 0.0f) {}
  int Width() const { return m_width; }
  int Height() const { return m_height; }

  t_Mask Coverage(const t_Layer& layer, float dx = 0, float dy = 0) const;
  void Fill(const t_Mask& mask, const t_Paint& paint);
  void Draw(const t_Layer& layer);
  // Makes the inclusive pixel rectangle fully transparent.
  void Clear(int x0, int y0, int x1, int y1);
  t_Image8 ToImage(bool premultiplied) const;

 private:
  int m_width, m_height;
  std::vector<float> m_pixels;  // premultiplied RGBA
};

// The layers as an SVG document of the given size in user units.
std::string ToSvg(const std::vector<t_Layer>& layers, int size);

}  // namespace n_zorbel::n_art
