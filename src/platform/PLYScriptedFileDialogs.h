#pragma once

#include "PLYFileDialogs.h"

#include <QList>

// Test double: answers from scripted queues (empty, as a cancel, once a queue runs out) and
// records the title of every panel shown.
class PLYScriptedFileDialogs : public PLYFileDialogs {
public:
    QString chooseFolder(QWidget* parent, const QString& title, const QString& startDirectory = {}) override;
    QStringList chooseFiles(QWidget* parent, const QString& title, const QStringList& nameFilters = {},
                            bool multiple = false) override;
    QString chooseSaveFile(QWidget* parent, const QString& title, const QString& suggestedPath = {},
                           const QString& nameFilter = {}) override;

    void scriptFolder(const QString& path) { m_folders.append(path); }
    void scriptFiles(const QStringList& paths) { m_files.append(paths); }
    void scriptSaveFile(const QString& path) { m_saves.append(path); }
    const QStringList& titles() const { return m_titles; }

private:
    QStringList m_folders;
    QList<QStringList> m_files;
    QStringList m_saves;
    QStringList m_titles;
};
