// Installs the message handler that shows real message boxes, or, headless,
// answers each box at once and prints its text as one line on standard error.
// A box never waits for its answer: the caller goes on while it is up, and a
// repeat of the text of a box still up is counted in that box.
#pragma once

void installMessageBoxes(bool headless);
