// Installs the message handler that shows real message boxes, or, headless,
// answers each box at once and prints its text as one line on standard error.
#pragma once

void installMessageBoxes(bool headless);
