#pragma once
// Vector shapes for the artwork: closed outlines of straight segments (curves
// are flattened as they are added), affine transforms, strokes, and an
// antialiasing rasteriser that turns a shape into per-pixel coverage.

#include <vector>

struct Point {
  double x = 0, y = 0;
};

// x' = a x + c y + e, y' = b x + d y + f
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  static Affine Translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static Affine Scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  static Affine Rotate(double degrees);
  // Slants x by factor times the distance above y = 0 (y grows downwards).
  static Affine Slant(double factor) { return {1, 0, -factor, 1, 0, 0}; }
  Point Apply(Point p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
  // This transform after first.
  Affine After(const Affine& first) const;
};

struct Bounds {
  double left = 0, top = 0, right = 0, bottom = 0;
  double Width() const { return right - left; }
  double Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
};

class Path {
 public:
  void MoveTo(Point p);
  void LineTo(Point p);
  void QuadTo(Point control, Point end);
  void CubicTo(Point control1, Point control2, Point end);
  // Ends the current outline; outlines are closed whether or not this is called.
  void Close();

  // Outlines run clockwise on the screen (y down), so that under the nonzero
  // rule they add up with everything else added here.
  void AddEllipse(Point centre, double rx, double ry);
  void AddCircle(Point centre, double r) { AddEllipse(centre, r, r); }
  void AddRoundRect(double left, double top, double right, double bottom, double radius);
  void AddPolygon(const std::vector<Point>& points);
  void Append(const Path& other);

  Path Transformed(const Affine& transform) const;
  Bounds Extent() const;
  bool Empty() const { return contours_.empty(); }
  const std::vector<std::vector<Point>>& Contours() const { return contours_; }

 private:
  std::vector<std::vector<Point>> contours_;
  bool open_ = false;
};

// The outline of a line of the given width along the points, with round ends
// and joins.
Path Stroke(const std::vector<Point>& points, double width);
// Points along a quadratic or cubic curve, ends included.
std::vector<Point> QuadPoints(Point start, Point control, Point end, int segments);
std::vector<Point> CubicPoints(Point start, Point c1, Point c2, Point end, int segments);

// Coverage 0..1 of each pixel of a width x height grid by the shape under the
// nonzero winding rule, row-major. Exact across each of 16 sample lines per
// pixel row.
std::vector<float> Rasterize(const Path& path, int width, int height);
