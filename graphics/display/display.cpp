#include "graphics/display/display.h"

String TGraphicsMode::ToString() const {
  return String::FromInt(width) + "," + String::FromInt(height) + "," + String::FromInt(depth) +
         " " + String::FromInt(hz) + "Hz";
}
