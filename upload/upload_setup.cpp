// The upload's single form and window.
#include "upload/upload_setup.h"

#include "screen/screen_fit.h"

#include "upload/upload_form.h"
#include "upload/upload_window.h"

#include <QCoreApplication>
#include <QPointer>

namespace {
QPointer<UploadForm> &formInstance()
{
    static QPointer<UploadForm> form;
    return form;
}

QPointer<UploadWindow> &windowInstance()
{
    static QPointer<UploadWindow> window;
    return window;
}
} // namespace

void installUpload(const WeatherState &weather, const HandBoxApi *handBox)
{
    delete formInstance().data();
    // Lives as long as the application.
    formInstance() = new UploadForm(weather, handBox, QCoreApplication::instance());
}

UploadForm &uploadForm()
{
    Q_ASSERT(formInstance());
    return *formInstance();
}

UploadWindow *uploadWindow()
{
    return windowInstance();
}

void showUploadWindow()
{
    UploadForm &form = uploadForm();
    form.load();
    QPointer<UploadWindow> &window = windowInstance();
    if (!window)
        window = new UploadWindow(form);
    window->show();
    keepOnScreen(window);
    window->raise();
    window->activateWindow();
}

void unloadUploadWindow()
{
    if (UploadWindow *window = windowInstance())
        window->close(); // its close unloads the form
    if (formInstance())
        formInstance()->unload();
}
