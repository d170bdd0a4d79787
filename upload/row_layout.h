// Arithmetic of the growing row lists of the upload window (variables and
// headers), in twips: where a new row goes, how tall the carrier becomes and
// how its scroll bar is set so that the new row is in view.
#pragma once

struct RowScroll {
    bool enabled = false;
    int smallChange = 0;
    int largeChange = 0;
    int minimum = 0;
    int maximum = 0;
    int value = 0;
};

// A new row sits 80 twips below the bottom of the last one.
constexpr int nextRowTop(int lastTop, int lastHeight)
{
    return lastTop + lastHeight + 80;
}

// The carrier reaches 80 twips below the bottom of its last row.
constexpr int carrierHeightFor(int rowTop, int rowHeight)
{
    return rowTop + rowHeight + 80;
}

// Once the carrier is taller than its viewport the scroll bar is enabled and
// scrolled to the bottom; before that it is left as it was (enabled false here).
constexpr RowScroll scrollFor(int carrierHeight, int viewportHeight, int rowHeight)
{
    RowScroll s;
    if (carrierHeight <= viewportHeight)
        return s;
    s.enabled = true;
    s.smallChange = rowHeight;
    s.largeChange = viewportHeight;
    s.minimum = 0;
    s.maximum = carrierHeight - viewportHeight;
    s.value = s.maximum;
    return s;
}
