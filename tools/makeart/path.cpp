#include "tools/makeart/path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int SAMPLE_LINES = 16;
// Curves are cut into pieces about this long, in pixels.
constexpr double CURVE_STEP = 0.75;

double Distance(Point a, Point b) { return std::hypot(b.x - a.x, b.y - a.y); }

int CurveSegments(double controlLength) {
  return std::clamp(int(std::ceil(controlLength / CURVE_STEP)), 4, 256);
}

double SignedArea(const std::vector<Point>& points) {
  double sum = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const Point& p = points[i];
    const Point& q = points[(i + 1) % points.size()];
    sum += p.x * q.y - q.x * p.y;
  }
  return sum / 2;
}

struct Edge {
  Point top, bottom;
  int winding;
};

std::vector<Edge> Edges(const Path& path) {
  std::vector<Edge> edges;
  for (const auto& contour : path.Contours()) {
    for (size_t i = 0; i < contour.size(); ++i) {
      const Point p = contour[i];
      const Point q = contour[(i + 1) % contour.size()];
      if (p.y == q.y) continue;
      edges.push_back(p.y < q.y ? Edge{p, q, 1} : Edge{q, p, -1});
    }
  }
  return edges;
}

// Adds weight times the covered part of each pixel between x0 and x1.
void AddSpan(float* row, int width, double x0, double x1, float weight) {
  x0 = std::max(x0, 0.0);
  x1 = std::min(x1, double(width));
  if (x1 <= x0) return;
  const int first = int(x0);
  const int last = int(x1);
  if (first == last) {
    row[first] += float(x1 - x0) * weight;
    return;
  }
  row[first] += float(first + 1 - x0) * weight;
  for (int i = first + 1; i < last; ++i) row[i] += weight;
  if (last < width) row[last] += float(x1 - last) * weight;
}

}  // namespace

Affine Affine::Rotate(double degrees) {
  const double radians = degrees * std::numbers::pi / 180;
  const double cosine = std::cos(radians), sine = std::sin(radians);
  return {cosine, sine, -sine, cosine, 0, 0};
}

Affine Affine::After(const Affine& first) const {
  return {a * first.a + c * first.b, b * first.a + d * first.b,     a * first.c + c * first.d,
          b * first.c + d * first.d, a * first.e + c * first.f + e, b * first.e + d * first.f + f};
}

void Path::MoveTo(Point p) {
  contours_.push_back({p});
  open_ = true;
}

void Path::LineTo(Point p) {
  if (!open_) MoveTo(contours_.empty() || contours_.back().empty() ? p : contours_.back().front());
  contours_.back().push_back(p);
}

void Path::QuadTo(Point control, Point end) {
  if (!open_) MoveTo(control);
  const Point start = contours_.back().back();
  const auto points = QuadPoints(start, control, end,
                                 CurveSegments(Distance(start, control) + Distance(control, end)));
  contours_.back().insert(contours_.back().end(), points.begin() + 1, points.end());
}

void Path::CubicTo(Point control1, Point control2, Point end) {
  if (!open_) MoveTo(control1);
  const Point start = contours_.back().back();
  const double length =
      Distance(start, control1) + Distance(control1, control2) + Distance(control2, end);
  const auto points = CubicPoints(start, control1, control2, end, CurveSegments(length));
  contours_.back().insert(contours_.back().end(), points.begin() + 1, points.end());
}

void Path::Close() { open_ = false; }

void Path::AddEllipse(Point centre, double rx, double ry) {
  const int count = std::max(24, int(std::ceil(2 * std::numbers::pi * std::max(rx, ry) / 0.5)));
  std::vector<Point> points;
  for (int i = 0; i < count; ++i) {
    const double angle = 2 * std::numbers::pi * i / count;
    points.push_back({centre.x + rx * std::cos(angle), centre.y + ry * std::sin(angle)});
  }
  AddPolygon(points);
}

void Path::AddRoundRect(double left, double top, double right, double bottom, double radius) {
  radius = std::min({radius, (right - left) / 2, (bottom - top) / 2});
  const Point corners[4] = {{right - radius, top + radius},
                            {right - radius, bottom - radius},
                            {left + radius, bottom - radius},
                            {left + radius, top + radius}};
  const int steps = std::max(4, int(std::ceil(radius * std::numbers::pi / 2 / 0.5)));
  std::vector<Point> points;
  for (int corner = 0; corner < 4; ++corner) {
    // Each corner's quarter turn, starting from straight up at the top right.
    for (int i = 0; i <= steps; ++i) {
      const double angle = std::numbers::pi / 2 * (corner - 1 + double(i) / steps);
      points.push_back({corners[corner].x + radius * std::cos(angle),
                        corners[corner].y + radius * std::sin(angle)});
    }
  }
  AddPolygon(points);
}

void Path::AddPolygon(const std::vector<Point>& points) {
  contours_.push_back(points);
  open_ = false;
}

void Path::Append(const Path& other) {
  contours_.insert(contours_.end(), other.contours_.begin(), other.contours_.end());
  open_ = false;
}

Path Path::Transformed(const Affine& transform) const {
  Path result = *this;
  for (auto& contour : result.contours_) {
    for (Point& p : contour) p = transform.Apply(p);
  }
  return result;
}

Bounds Path::Extent() const {
  Bounds bounds{1e300, 1e300, -1e300, -1e300};
  for (const auto& contour : contours_) {
    for (const Point& p : contour) {
      bounds.left = std::min(bounds.left, p.x);
      bounds.top = std::min(bounds.top, p.y);
      bounds.right = std::max(bounds.right, p.x);
      bounds.bottom = std::max(bounds.bottom, p.y);
    }
  }
  return bounds.Empty() ? Bounds{} : bounds;
}

std::vector<Point> QuadPoints(Point start, Point control, Point end, int segments) {
  std::vector<Point> points;
  for (int i = 0; i <= segments; ++i) {
    const double t = double(i) / segments, u = 1 - t;
    points.push_back({u * u * start.x + 2 * u * t * control.x + t * t * end.x,
                      u * u * start.y + 2 * u * t * control.y + t * t * end.y});
  }
  return points;
}

std::vector<Point> CubicPoints(Point start, Point c1, Point c2, Point end, int segments) {
  std::vector<Point> points;
  for (int i = 0; i <= segments; ++i) {
    const double t = double(i) / segments, u = 1 - t;
    const double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
    points.push_back({w0 * start.x + w1 * c1.x + w2 * c2.x + w3 * end.x,
                      w0 * start.y + w1 * c1.y + w2 * c2.y + w3 * end.y});
  }
  return points;
}

Path Stroke(const std::vector<Point>& points, double width) {
  Path path;
  const double half = width / 2;
  for (const Point& p : points) path.AddCircle(p, half);
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    const Point p = points[i], q = points[i + 1];
    const double length = Distance(p, q);
    if (length == 0) continue;
    const double nx = -(q.y - p.y) / length * half, ny = (q.x - p.x) / length * half;
    std::vector<Point> quad = {
        {p.x + nx, p.y + ny}, {q.x + nx, q.y + ny}, {q.x - nx, q.y - ny}, {p.x - nx, p.y - ny}};
    // The same turning sense as the circles, so that the pieces add up.
    if (SignedArea(quad) < 0) std::reverse(quad.begin(), quad.end());
    path.AddPolygon(quad);
  }
  return path;
}

std::vector<float> Rasterize(const Path& path, int width, int height) {
  std::vector<float> coverage(size_t(width) * height, 0.0f);
  const std::vector<Edge> edges = Edges(path);
  if (edges.empty()) return coverage;
  const Bounds extent = path.Extent();
  const int firstRow = std::max(0, int(std::floor(extent.top)));
  const int endRow = std::min(height, int(std::ceil(extent.bottom)) + 1);
  std::vector<const Edge*> rowEdges;
  std::vector<std::pair<double, int>> crossings;
  for (int y = firstRow; y < endRow; ++y) {
    rowEdges.clear();
    for (const Edge& edge : edges) {
      if (edge.top.y < y + 1 && edge.bottom.y > y) rowEdges.push_back(&edge);
    }
    float* row = coverage.data() + size_t(y) * width;
    for (int s = 0; s < SAMPLE_LINES; ++s) {
      const double sampleY = y + (s + 0.5) / SAMPLE_LINES;
      crossings.clear();
      for (const Edge* edge : rowEdges) {
        if (sampleY < edge->top.y || sampleY >= edge->bottom.y) continue;
        const double t = (sampleY - edge->top.y) / (edge->bottom.y - edge->top.y);
        crossings.emplace_back(edge->top.x + t * (edge->bottom.x - edge->top.x), edge->winding);
      }
      std::sort(crossings.begin(), crossings.end());
      int winding = 0;
      for (size_t i = 0; i + 1 < crossings.size(); ++i) {
        winding += crossings[i].second;
        if (winding != 0) {
          AddSpan(row, width, crossings[i].first, crossings[i + 1].first, 1.0f / SAMPLE_LINES);
        }
      }
    }
    for (int x = 0; x < width; ++x) row[x] = std::min(row[x], 1.0f);
  }
  return coverage;
}
