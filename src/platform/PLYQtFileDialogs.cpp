#include "PLYQtFileDialogs.h"

#include <QFileDialog>

QString PLYQtFileDialogs::chooseFolder(QWidget* parent, const QString& title, const QString& startDirectory) {
    return QFileDialog::getExistingDirectory(parent, title, startDirectory);
}

QStringList PLYQtFileDialogs::chooseFiles(QWidget* parent, const QString& title, const QStringList& nameFilters, bool multiple) {
    const QString filter = nameFilters.join(QStringLiteral(";;"));
    if (multiple) return QFileDialog::getOpenFileNames(parent, title, {}, filter);
    const QString one = QFileDialog::getOpenFileName(parent, title, {}, filter);
    return one.isEmpty() ? QStringList() : QStringList{one};
}

QString PLYQtFileDialogs::chooseSaveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
                                         const QString& nameFilter) {
    return QFileDialog::getSaveFileName(parent, title, suggestedPath, nameFilter);
}
