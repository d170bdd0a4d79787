// The upload window over the watch's uploads: it mirrors the form and the
// services' states wherever they run, and sends the user's changes and clicks
// to them. The window exists while it is loaded.
#pragma once

#include "windows/upload_window.h"

#include <QPointer>
#include <functional>

class UploadForm;
class Uploads;

class UploadUi {
public:
    explicit UploadUi(Uploads &uploads);
    ~UploadUi();
    UploadUi(const UploadUi &) = delete;
    UploadUi &operator=(const UploadUi &) = delete;

    // The window while it is loaded, else nullptr.
    UploadWindow *window() const { return m_window; }

    void show();   // loads the form if needed, shows the window modeless
    void close();  // closes the window, if any (its close unloads the form)
    void unload(); // closes the window and unloads the form

private:
    Uploads &m_uploads;
    QPointer<UploadWindow> m_window;
};

// Runs step on the thread of object and returns when it is done (at once when
// called there): the window thread may wait for the watch, never the other way round.
void onThreadOf(QObject *object, const std::function<void()> &step);
