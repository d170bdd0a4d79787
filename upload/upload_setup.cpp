// The upload's single form and window, and the hooks the rest of the program calls.
#include "upload/upload_setup.h"

#include "core/program.h"
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

UploadForm &uploadForm()
{
    QPointer<UploadForm> &form = formInstance();
    if (!form)
        form = new UploadForm(QCoreApplication::instance()); // lives as long as the application
    return *form;
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

void installUpload()
{
    Program &p = prog();
    p.sendPwsReport = [] { uploadForm().cmdSend_Click(); };
    p.showUploadWindow = [] { showUploadWindow(); };
    p.unloadUploadWindow = [] { unloadUploadWindow(); };
}
