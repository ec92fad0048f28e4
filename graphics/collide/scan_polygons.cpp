#include "graphics/collide/scan_polygons.h"

#include <array>
#include <vector>

#include "runtime/runtime_error.h"

namespace {

// Moves the edge on to the next vertex pair that spans row y, walking the
// vertex ring by step (-1 for the left edge, +1 for the right). False when
// the polygon has no such pair left: it is finished.
bool AdvanceEdge(const rpoly& p, scanedge& edge, int step, int y) {
  const int n = p.count;
  int from = edge.to;
  int walked = 0;
  for (int next = (from + step + n) % n; p.Row(next) <= y; next = (from + step + n) % n) {
    from = next;
    if (++walked >= n) return false;
  }
  const int to = (from + step + n) % n;
  const int rows = p.Row(to) - p.Row(from);
  if (rows < 1) return false;
  for (int c = 0; c < p.values; ++c) {
    const float start = p.Vertex(from)[c];
    edge.delta[c] = (p.Vertex(to)[c] - start) / static_cast<float>(rows);
    // At the centre of row y, which is the from row unless the scan began
    // below it.
    edge.value[c] = start + edge.delta[c] * (static_cast<float>(y - p.Row(from)) + 0.5f);
  }
  edge.to = to;
  return true;
}

}  // namespace

bool PolygonNeedsReversing(const float* v, int count, int values) {
  auto x = [&](int i) { return v[i * values]; };
  auto y = [&](int i) { return v[i * values + 1]; };
  for (int i = 1; i + 1 < count; ++i) {
    const float turn = (x(i + 1) - x(i)) * (y(i) - y(0)) - (x(i) - x(0)) * (y(i + 1) - y(i));
    if (ScanTrunc(turn) < 0) return false;
  }
  return true;
}

int ScanPolygons(std::span<const scanshape> shapes, int values, const ScanRow& row, int firstRow,
                 int endRow) {
  if (values < 2 || values > SCAN_MAX_VALUES) {
    throw RuntimeError("Scan values per vertex out of range: " + String::FromInt(values));
  }
  // The usual few polygons live on the stack; more go to the heap.
  const size_t polyCount = shapes.size();
  std::array<rpoly, SCAN_INLINE_POLYGONS> inlinePolys;
  std::array<rpoly*, SCAN_INLINE_POLYGONS> inlineActive;
  std::vector<rpoly> heapPolys;
  std::vector<rpoly*> heapActive;
  std::span<rpoly> polys(inlinePolys.data(), std::min(polyCount, inlinePolys.size()));
  std::span<rpoly*> active(inlineActive);
  if (polyCount > inlinePolys.size()) {
    heapPolys.resize(polyCount);
    heapActive.resize(polyCount);
    polys = heapPolys;
    active = heapActive;
  }

  int minY = INT_MAX, maxY = INT_MIN;
  for (size_t i = 0; i < polyCount; ++i) {
    rpoly& p = polys[i];
    p.values = values;
    p.vertices = shapes[i].vertices.data();
    p.count = static_cast<int>(std::min<size_t>(shapes[i].vertices.size() / values, INT_MAX / 2));
    p.pixmap = shapes[i].pixmap;
    p.reversed = PolygonNeedsReversing(p.vertices, p.count, values);
    for (int v = 0; v < p.count; ++v) {
      if (p.Row(v) < p.Row(p.top)) p.top = v;
      minY = std::min(minY, p.Row(v));
      maxY = std::max(maxY, p.Row(v));
    }
    p.left.to = p.right.to = p.top;
    p.top = p.count > 0 ? p.Row(p.top) : INT_MAX;
    if (p.count < 3) p.state = rpoly::FINISHED;
  }

  int activeCount = 0;
  auto deactivate = [&](rpoly* p) {
    p->state = rpoly::FINISHED;
    auto end = std::remove(active.begin(), active.begin() + activeCount, p);
    activeCount = static_cast<int>(end - active.begin());
  };

  int result = 0;
  for (int y = std::max(minY, firstRow); y < std::min(maxY, endRow); ++y) {
    for (rpoly& p : polys) {
      if (p.state == rpoly::FINISHED || (p.state == rpoly::NOT_STARTED && p.top > y)) continue;
      if (y >= p.Row(p.left.to)) {
        if (!AdvanceEdge(p, p.left, -1, y)) {
          deactivate(&p);
          continue;
        }
        if (p.state == rpoly::NOT_STARTED) {
          p.state = rpoly::ACTIVE;
          active[activeCount++] = &p;
        }
      }
      if (y >= p.Row(p.right.to) && !AdvanceEdge(p, p.right, 1, y)) deactivate(&p);
    }
    if (activeCount > 0) {
      result = row(active.data(), activeCount, y);
      if (result < 0) return result;
    }
    for (int i = 0; i < activeCount; ++i) {
      for (int c = 0; c < values; ++c) {
        active[i]->left.value[c] += active[i]->left.delta[c];
        active[i]->right.value[c] += active[i]->right.delta[c];
      }
    }
  }
  return result;
}
