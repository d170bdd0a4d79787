// The watch on a thread of its own: the station (port, link, cycle, the
// simulator), the watch model and its clock, the safety judge, the archive's
// writer and the HTTP server run there, so a window thread that stalls (a
// modal dialog, a display that stops answering) never stops polling, logging,
// archiving, judging or serving. Windows get copies by queued signals and send
// the user's actions by queued calls.
#pragma once

class App;

// Moves the built watch onto App::watchThread and starts it.
void startWatchThread(App &app);
// Brings the watch back to the window thread and ends the thread (the
// objects are then destroyed where they were made). Nothing without a thread.
void stopWatchThread(App &app);
