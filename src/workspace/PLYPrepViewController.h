#pragma once

#include "PLYLayout.pb.h"

#include <QByteArray>
#include <QColor>
#include <QDialog>
#include <QUrl>
#include <functional>

class PLYColourWell;
class PLYStepper;
class QLabel;
class QLineEdit;
class QPushButton;

// The set-up sheet of a new post: its name, a folder to watch for images (chosen, or taken from
// the recent folders), the layout's padding and background colour. It checks the answers and
// reports once through its completion; it creates nothing itself, the post window reads the
// answers in the completion. Shown window-modal over the post window with open().
class PLYPrepViewController : public QDialog {
    Q_OBJECT
public:
    using CompletionBlock = std::function<void(bool confirmed)>;

    explicit PLYPrepViewController(QWidget* parent = nullptr);
    ~PLYPrepViewController() override;

    // Called once per showing: yes after Done passed its checks, no on Cancel, Escape or
    // closing the sheet. The sheet hides before it is called.
    void setCompletionBlock(CompletionBlock completion) { m_completionBlock = std::move(completion); }

    // The answers.
    QString documentTitle() const;
    qint64 documentPadding() const { return m_documentPadding; }
    PLYColour documentColour() const;
    QColor rawColor() const;
    QUrl directoryWatch() const { return m_directoryWatch; }
    // The stored bookmark of a folder taken from the recent folders; empty after a fresh choice.
    QByteArray previousBookmarkData() const { return m_previousBookmarkData; }

    // The controls' actions.
    void setStepperPaddingAction();
    void paddingTextChanged();
    void setDirectoryAction();
    // Takes a folder of the recent list; one that no longer exists is refused (false).
    bool setRecentDirectoryAction(const QString& path);
    void showColourWell();
    void doneAction();
    void cancelAction();
    // Shows the answers in the controls.
    void ensureUI();

    // What the folder label reads for a folder: the folder that holds it ("No folder selected"
    // for none).
    static QString directoryLabelText(const QUrl& directory);
    // The padding a new layout starts with: the stored default, truncated and kept in range.
    static qint64 defaultPadding();

    // Escape and the window's close button cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void complete(bool confirmed);
    void fillRecentMenu();

    CompletionBlock m_completionBlock;
    qint64 m_documentPadding = 0;
    QUrl m_directoryWatch;
    QByteArray m_previousBookmarkData;
    bool m_completed = false;

    QLineEdit* m_titleTextField;
    QLineEdit* m_horizontalPaddingField;
    PLYStepper* m_paddingStepper;
    PLYColourWell* m_colourPicker;
    QLabel* m_directoryLabel;
    QPushButton* m_chooseDirectoryButton;
    QPushButton* m_recentDirectoriesButton;
    QPushButton* m_doneButton;
    QPushButton* m_cancelButton;
};
