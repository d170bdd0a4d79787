// The upload's form and window.
#include "upload/upload_setup.h"

#include "core/screen_fit.h"
#include "upload/upload_window.h"

UploadUi::UploadUi(Settings &settings, SettingSaver save)
    : m_form(std::make_unique<UploadForm>(settings, std::move(save)))
{
}

UploadUi::~UploadUi()
{
    delete m_window.data(); // it is a view of the form
}

void UploadUi::show()
{
    m_form->load();
    if (!m_window)
        m_window = new UploadWindow(*m_form);
    m_window->show();
    keepOnScreen(m_window);
    m_window->raise();
    m_window->activateWindow();
}

void UploadUi::unload()
{
    if (m_window)
        m_window->close(); // its close unloads the form
    m_form->unload();
}
