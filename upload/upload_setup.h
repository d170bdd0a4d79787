// The program's one upload form (state, socket and send operation) and its window.
#pragma once

class HandBoxApi;
class UploadForm;
class UploadWindow;
struct WeatherState;

// Makes the program's upload form over these readings (start-up, once).
void installUpload(const WeatherState &weather, const HandBoxApi *handBox);

// The program's one upload form; installUpload() must have run.
UploadForm &uploadForm();
// The window while it is loaded, else nullptr.
UploadWindow *uploadWindow();

// The hook bodies, for start-up and tests.
void showUploadWindow();   // loads the form if needed, shows the window modeless
void unloadUploadWindow(); // closes the window (if any) and unloads the form
