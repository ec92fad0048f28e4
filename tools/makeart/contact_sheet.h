#pragma once
// A sheet for judging the pictures by eye: each one enlarged on a neutral
// grey with its name, lines of text laid out by the game's rules, and the
// title and play screens put together as the game draws them.

#include <vector>

#include "tools/makeart/pictures.h"

// pictures as made by MakePictures. RGB24.
Ref<TPixmap> MakeContactSheet(const std::vector<Picture>& pictures, const Typefaces& faces);
