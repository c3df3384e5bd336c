#include "canvas.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

namespace n_zorbel::n_art {

namespace {

float Length(float x, float y) { return std::sqrt(x * x + y * y); }

float RoundRectDistance(const t_RoundRect& s, float x, float y) {
  const float hx = (s.x1 - s.x0) / 2, hy = (s.y1 - s.y0) / 2;
  const float r = std::min({s.radius, hx, hy});
  const float qx = std::abs(x - (s.x0 + s.x1) / 2) - (hx - r);
  const float qy = std::abs(y - (s.y0 + s.y1) / 2) - (hy - r);
  return Length(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - r;
}

// Close to the true distance near the outline, which is all anti-aliasing needs.
float EllipseDistance(const t_Ellipse& s, float x, float y) {
  const float angle = s.degrees * std::numbers::pi_v<float> / 180;
  const float dx = x - s.cx, dy = y - s.cy;
  const float lx = dx * std::cos(angle) + dy * std::sin(angle);
  const float ly = -dx * std::sin(angle) + dy * std::cos(angle);
  const float k0 = Length(lx / s.rx, ly / s.ry);
  const float k1 = Length(lx / (s.rx * s.rx), ly / (s.ry * s.ry));
  if (k1 == 0) return -std::min(s.rx, s.ry);
  return k0 * (k0 - 1) / k1;
}

float PolygonDistance(const t_Polygon& s, float x, float y) {
  const auto& v = s.points;
  const std::size_t n = v.size();
  float d = (x - v[0].x) * (x - v[0].x) + (y - v[0].y) * (y - v[0].y);
  float sign = 1;
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const float ex = v[j].x - v[i].x, ey = v[j].y - v[i].y;
    const float wx = x - v[i].x, wy = y - v[i].y;
    const float t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0f, 1.0f);
    const float bx = wx - ex * t, by = wy - ey * t;
    d = std::min(d, bx * bx + by * by);
    const bool c1 = y >= v[i].y, c2 = y<v[j].y, c3 = ex * wy> ey * wx;
    if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) sign = -sign;
  }
  return sign * std::sqrt(d) - s.radius;
}

float UnionDistance(const std::vector<t_Shape>& shapes, float x, float y) {
  float d = 1e9f;
  for (const t_Shape& shape : shapes) d = std::min(d, Distance(shape, x, y));
  return d;
}

t_Color PaintAt(const t_Paint& paint, float x, float y) {
  if (const auto* color = std::get_if<t_Color>(&paint)) return *color;
  if (const auto* gradient = std::get_if<t_LinearGradient>(&paint)) return gradient->At(x, y);
  return std::get<std::function<t_Color(float, float)>>(paint)(x, y);
}

std::string Number(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(v));
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

std::uint8_t Byte(float v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); }

}  // namespace

t_Color Hex(std::uint32_t rgb, float alpha) {
  return {static_cast<float>((rgb >> 16) & 0xFF) / 255, static_cast<float>((rgb >> 8) & 0xFF) / 255,
          static_cast<float>(rgb & 0xFF) / 255, alpha};
}

t_Color Mix(const t_Color& from, const t_Color& to, float t) {
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
          from.a + (to.a - from.a) * t};
}

std::string SvgColor(const t_Color& color) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", Byte(color.r), Byte(color.g), Byte(color.b));
  return text;
}

float Distance(const t_Shape& shape, float x, float y) {
  if (const auto* r = std::get_if<t_RoundRect>(&shape)) return RoundRectDistance(*r, x, y);
  if (const auto* e = std::get_if<t_Ellipse>(&shape)) return EllipseDistance(*e, x, y);
  return PolygonDistance(std::get<t_Polygon>(shape), x, y);
}

std::string SvgElement(const t_Shape& shape, const std::string& fill) {
  const std::string attributes = " fill=\"" + fill + "\"";
  if (const auto* r = std::get_if<t_RoundRect>(&shape)) {
    std::string s = "<rect x=\"" + Number(r->x0) + "\" y=\"" + Number(r->y0) + "\" width=\"" +
                    Number(r->x1 - r->x0) + "\" height=\"" + Number(r->y1 - r->y0) + "\"";
    if (r->radius > 0) s += " rx=\"" + Number(r->radius) + "\"";
    return s + attributes + "/>";
  }
  if (const auto* e = std::get_if<t_Ellipse>(&shape)) {
    std::string s = "<ellipse cx=\"" + Number(e->cx) + "\" cy=\"" + Number(e->cy) + "\" rx=\"" +
                    Number(e->rx) + "\" ry=\"" + Number(e->ry) + "\"";
    if (e->degrees != 0)
      s += " transform=\"rotate(" + Number(e->degrees) + " " + Number(e->cx) + " " + Number(e->cy) + ")\"";
    return s + attributes + "/>";
  }
  const t_Polygon& polygon = std::get<t_Polygon>(shape);
  std::string s = "<polygon points=\"";
  for (const t_Point& p : polygon.points) s += Number(p.x) + "," + Number(p.y) + " ";
  s.back() = '"';
  if (polygon.radius > 0)
    s += " stroke=\"" + fill + "\" stroke-width=\"" + Number(2 * polygon.radius) +
         "\" stroke-linejoin=\"round\"";
  return s + attributes + "/>";
}

t_Color t_LinearGradient::At(float x, float y) const {
  const float dx = to.x - from.x, dy = to.y - from.y;
  const float t = std::clamp(((x - from.x) * dx + (y - from.y) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
  if (t <= stops.front().offset) return stops.front().color;
  for (std::size_t i = 1; i < stops.size(); ++i) {
    if (t <= stops[i].offset) {
      const float span = stops[i].offset - stops[i - 1].offset;
      return Mix(stops[i - 1].color, stops[i].color, span > 0 ? (t - stops[i - 1].offset) / span : 1.0f);
    }
  }
  return stops.back().color;
}

t_Mask t_Mask::Blurred(float sigma) const {
  const int radius = static_cast<int>(std::ceil(sigma * 3));
  std::vector<float> kernel(2 * radius + 1);
  float sum = 0;
  for (int i = -radius; i <= radius; ++i)
    sum += kernel[i + radius] = std::exp(-0.5f * static_cast<float>(i * i) / (sigma * sigma));
  for (float& k : kernel) k /= sum;
  t_Mask across(m_width, m_height), out(m_width, m_height);
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x) {
      float v = 0;
      for (int i = -radius; i <= radius; ++i)
        if (x + i >= 0 && x + i < m_width) v += kernel[i + radius] * At(x + i, y);
      across.At(x, y) = v;
    }
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x) {
      float v = 0;
      for (int i = -radius; i <= radius; ++i)
        if (y + i >= 0 && y + i < m_height) v += kernel[i + radius] * across.At(x, y + i);
      out.At(x, y) = v;
    }
  return out;
}

t_Mask t_Canvas::Coverage(const t_Layer& layer, float dx, float dy) const {
  t_Mask mask(m_width, m_height);
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x) {
      const float px = static_cast<float>(x) + 0.5f - dx, py = static_cast<float>(y) + 0.5f - dy;
      float d = UnionDistance(layer.shapes, px, py);
      if (!layer.holes.empty()) d = std::max(d, -UnionDistance(layer.holes, px, py));
      if (!layer.clip.empty()) d = std::max(d, UnionDistance(layer.clip, px, py));
      mask.At(x, y) = std::clamp(0.5f - d, 0.0f, 1.0f);
    }
  return mask;
}

void t_Canvas::Fill(const t_Mask& mask, const t_Paint& paint) {
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x) {
      const float m = mask.At(x, y);
      if (m <= 0) continue;
      const t_Color c = PaintAt(paint, static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
      const float a = c.a * m;
      float* p = &m_pixels[(y * m_width + x) * 4];
      p[0] = c.r * a + p[0] * (1 - a);
      p[1] = c.g * a + p[1] * (1 - a);
      p[2] = c.b * a + p[2] * (1 - a);
      p[3] = a + p[3] * (1 - a);
    }
}

void t_Canvas::Draw(const t_Layer& layer) {
  if (layer.shadow) {
    const t_Shadow& s = *layer.shadow;
    Fill(Coverage(layer, s.dx, s.dy).Blurred(s.sigma), s.color);
  }
  Fill(Coverage(layer), layer.paint);
}

void t_Canvas::Clear(int x0, int y0, int x1, int y1) {
  for (int y = std::max(y0, 0); y <= std::min(y1, m_height - 1); ++y)
    for (int x = std::max(x0, 0); x <= std::min(x1, m_width - 1); ++x)
      std::fill_n(&m_pixels[(y * m_width + x) * 4], 4, 0.0f);
}

t_Image8 t_Canvas::ToImage(bool premultiplied) const {
  t_Image8 image{m_width, m_height, premultiplied, std::vector<std::uint8_t>(m_pixels.size())};
  for (std::size_t i = 0; i < m_pixels.size(); i += 4) {
    const std::uint8_t a = Byte(m_pixels[i + 3]);
    image.rgba[i + 3] = a;
    for (int c = 0; c < 3; ++c) {
      if (a == 0) {
        image.rgba[i + c] = 0;
      } else if (premultiplied) {
        image.rgba[i + c] = std::min(Byte(m_pixels[i + c]), a);
      } else {
        image.rgba[i + c] = Byte(m_pixels[i + c] / m_pixels[i + 3]);
      }
    }
  }
  return image;
}

std::string ToSvg(const std::vector<t_Layer>& layers, int size) {
  const std::string side = std::to_string(size);
  std::string defs, body;
  auto shapes = [](const std::vector<t_Shape>& list, const std::string& fill) {
    std::string s;
    for (const t_Shape& shape : list) s += "  " + SvgElement(shape, fill) + "\n";
    return s;
  };
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const t_Layer& layer = layers[i];
    const std::string id = std::to_string(i);
    std::string wrap;  // attributes of the group that masks and clips the layer
    if (!layer.holes.empty()) {
      defs += "<mask id=\"m" + id + "\" maskUnits=\"userSpaceOnUse\" x=\"-" + side + "\" y=\"-" + side +
              "\" width=\"" + std::to_string(3 * size) + "\" height=\"" + std::to_string(3 * size) + "\">\n" +
              "  <rect x=\"-" + side + "\" y=\"-" + side + "\" width=\"" + std::to_string(3 * size) +
              "\" height=\"" + std::to_string(3 * size) + "\" fill=\"#fff\"/>\n" +
              shapes(layer.holes, "#000") + "</mask>\n";
      wrap += " mask=\"url(#m" + id + ")\"";
    }
    if (!layer.clip.empty()) {
      defs += "<clipPath id=\"c" + id + "\">\n" + shapes(layer.clip, "#000") + "</clipPath>\n";
      wrap += " clip-path=\"url(#c" + id + ")\"";
    }
    if (layer.shadow) {
      const t_Shadow& s = *layer.shadow;
      defs += "<filter id=\"f" + id + "\" x=\"-50%\" y=\"-50%\" width=\"200%\" height=\"200%\">" +
              "<feGaussianBlur stdDeviation=\"" + Number(s.sigma) + "\"/></filter>\n";
      body += "<g transform=\"translate(" + Number(s.dx) + " " + Number(s.dy) + ")\" filter=\"url(#f" + id +
              ")\" opacity=\"" + Number(s.color.a) + "\">\n<g" + wrap + ">\n" +
              shapes(layer.shapes, SvgColor(s.color)) + "</g>\n</g>\n";
    }
    std::string fill;
    float opacity = 1;
    if (const auto* color = std::get_if<t_Color>(&layer.paint)) {
      fill = SvgColor(*color);
      opacity = color->a;
    } else if (const auto* gradient = std::get_if<t_LinearGradient>(&layer.paint)) {
      defs += "<linearGradient id=\"g" + id + "\" gradientUnits=\"userSpaceOnUse\" x1=\"" +
              Number(gradient->from.x) + "\" y1=\"" + Number(gradient->from.y) + "\" x2=\"" +
              Number(gradient->to.x) + "\" y2=\"" + Number(gradient->to.y) + "\">\n";
      for (const t_GradientStop& stop : gradient->stops) {
        defs += "  <stop offset=\"" + Number(stop.offset) + "\" stop-color=\"" + SvgColor(stop.color) + "\"";
        if (stop.color.a < 1) defs += " stop-opacity=\"" + Number(stop.color.a) + "\"";
        defs += "/>\n";
      }
      defs += "</linearGradient>\n";
      fill = "url(#g" + id + ")";
    } else {
      throw std::logic_error("a function paint has no SVG form");
    }
    if (opacity < 1) wrap += " opacity=\"" + Number(opacity) + "\"";
    body += "<g" + wrap + ">\n" + shapes(layer.shapes, fill) + "</g>\n";
  }
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + side + "\" height=\"" + side +
         "\" viewBox=\"0 0 " + side + " " + side + "\">\n<defs>\n" + defs + "</defs>\n" + body + "</svg>\n";
}

}  // namespace n_zorbel::n_art
