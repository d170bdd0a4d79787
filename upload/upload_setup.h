// The upload form (state, socket and send operation) and its window, owned by
// whoever runs the program: the form lives as long as this object, the window
// while it is loaded.
#pragma once

#include "upload/upload_form.h"
#include "upload/upload_window.h"

#include <QPointer>
#include <memory>



class UploadUi {
public:
    UploadUi(Settings &settings, SettingSaver save);
    ~UploadUi();
    UploadUi(const UploadUi &) = delete;
    UploadUi &operator=(const UploadUi &) = delete;

    UploadForm &form() { return *m_form; }
    // The window while it is loaded, else nullptr.
    UploadWindow *window() const { return m_window; }

    void show();   // loads the form if needed, shows the window modeless
    void unload(); // closes the window (if any) and unloads the form

private:
    std::unique_ptr<UploadForm> m_form;
    QPointer<UploadWindow> m_window;
};
