// The upload window over the watch's uploads.
#include "windows/upload_setup.h"

#include "screen/screen_fit.h"
#include "upload/uploads.h"

#include <QThread>

void onThreadOf(QObject *object, const std::function<void()> &step)
{
    if (object->thread() == QThread::currentThread())
        step();
    else
        QMetaObject::invokeMethod(object, step, Qt::BlockingQueuedConnection);
}

UploadUi::UploadUi(Uploads &uploads)
    : m_uploads(uploads)
{
}

UploadUi::~UploadUi()
{
    delete m_window.data(); // it is a view of the form
}

void UploadUi::show()
{
    UploadForm &form = m_uploads.form();
    onThreadOf(&form, [&form] { form.load(); });
    if (!m_window) {
        m_window = new UploadWindow(form);
        // The services' states, from now on and as they are now.
        UploadWindow *window = m_window;
        QStringList states;
        onThreadOf(&m_uploads, [this, window, &states] {
            QObject::connect(&m_uploads, &Uploads::serviceStatesChanged, window, &UploadWindow::setOtherServiceStates);
            states = m_uploads.serviceStates();
        });
        m_window->setOtherServiceStates(states);
    }
    m_window->show();
    keepOnScreen(m_window);
    m_window->raise();
    m_window->activateWindow();
}

void UploadUi::close()
{
    if (m_window)
        m_window->close(); // its close unloads the form
}

void UploadUi::unload()
{
    close();
    UploadForm &form = m_uploads.form();
    onThreadOf(&form, [&form] { form.unload(); });
}
