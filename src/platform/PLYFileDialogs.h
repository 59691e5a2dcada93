#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

// Open and save panels. Every call answers empty when the user cancels.
class PLYFileDialogs {
public:
    virtual ~PLYFileDialogs() = default;
    virtual QString chooseFolder(QWidget* parent, const QString& title, const QString& startDirectory = {}) = 0;
    // `nameFilters` as Qt spells them ("Images (*.jpg *.png)").
    virtual QStringList chooseFiles(QWidget* parent, const QString& title, const QStringList& nameFilters = {},
                                    bool multiple = false) = 0;
    virtual QString chooseSaveFile(QWidget* parent, const QString& title, const QString& suggestedPath = {},
                                   const QString& nameFilter = {}) = 0;

    static std::shared_ptr<PLYFileDialogs> shared();
    static void setShared(std::shared_ptr<PLYFileDialogs> dialogs);
};
