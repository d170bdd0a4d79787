// Window measures shared by the windows: pixels to twips and back.
#pragma once

// Pixels to twips and back (15 twips per pixel).
constexpr int kTwipsPerPixel = 15;
constexpr int twipsToPx(int twips) { return twips / kTwipsPerPixel; }
