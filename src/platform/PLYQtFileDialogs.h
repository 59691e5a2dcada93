#pragma once

#include "PLYFileDialogs.h"

// QFileDialog panels.
class PLYQtFileDialogs : public PLYFileDialogs {
public:
    QString chooseFolder(QWidget* parent, const QString& title, const QString& startDirectory = {}) override;
    QStringList chooseFiles(QWidget* parent, const QString& title, const QStringList& nameFilters = {},
                            bool multiple = false) override;
    QString chooseSaveFile(QWidget* parent, const QString& title, const QString& suggestedPath = {},
                           const QString& nameFilter = {}) override;
};
