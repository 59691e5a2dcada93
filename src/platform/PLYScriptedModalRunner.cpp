#include "PLYScriptedModalRunner.h"

qint64 PLYScriptedModalRunner::runModalForWindow(QWidget* window) {
    m_windows.append(window);
    m_stopCode = Stop;
    m_running = true;
    if (m_whileRunning) m_whileRunning(window);
    m_running = false;
    return m_stopCode;
}
