#include "PLYScriptedFileDialogs.h"

QString PLYScriptedFileDialogs::chooseFolder(QWidget*, const QString& title, const QString&) {
    m_titles << title;
    return m_folders.isEmpty() ? QString() : m_folders.takeFirst();
}

QStringList PLYScriptedFileDialogs::chooseFiles(QWidget*, const QString& title, const QStringList&, bool) {
    m_titles << title;
    return m_files.isEmpty() ? QStringList() : m_files.takeFirst();
}

QString PLYScriptedFileDialogs::chooseSaveFile(QWidget*, const QString& title, const QString&, const QString&) {
    m_titles << title;
    return m_saves.isEmpty() ? QString() : m_saves.takeFirst();
}
