// The watch on a thread of its own: the station (port, link, cycle, the
// simulator), the watch model and its clock, the safety judge, the archive's
// writer, the HTTP server and the upload run there, so a window thread that
// stalls (a modal dialog, a display that stops answering) never stops polling,
// logging, archiving, judging, serving or uploading. Windows get copies by queued signals and send
// the user's actions by queued calls.
#pragma once

#include <functional>

class App;

// Moves the built watch onto App::watchThread and starts it.
void startWatchThread(App &app);
// Brings the watch back to the window thread and ends the thread (the
// objects are then destroyed where they were made). Nothing without a thread.
void stopWatchThread(App &app);

// Runs step on the watch's thread and returns when it is done: the window
// thread may wait for the watch, never the other way round. At once without a
// watch thread or when called on it.
void onWatchThread(App &app, const std::function<void()> &step);
// Posts step to the window thread and returns at once (runs it at once when
// called there): the watch never waits for a window.
void onWindowThread(std::function<void()> step);
