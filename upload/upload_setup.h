// Puts the upload into the program: the one upload form (state, socket and send
// operation) and its window, reached through the hooks in prog().
#pragma once

class UploadForm;
class UploadWindow;

// Sets prog().sendPwsReport, prog().showUploadWindow and prog().unloadUploadWindow.
void installUpload();

// The program's one upload form (created on first use).
UploadForm &uploadForm();
// The window while it is loaded, else nullptr.
UploadWindow *uploadWindow();

// The hook bodies, for start-up and tests.
void showUploadWindow();   // loads the form if needed, shows the window modeless
void unloadUploadWindow(); // closes the window (if any) and unloads the form
