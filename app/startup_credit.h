// The safety watch learns from the archive whether the sky was safe and
// watched right up to this start, so a restart need not wait the full delay.
#pragma once

class App;
struct Settings;

// Before the safety watch starts; nothing without an archive.
void creditStartFromArchive(App &app, const Settings &settings);
