#pragma once

#include <QLineEdit>
#include <QStringList>

class QCompleter;
class QStringListModel;

// A field of keywords separated by spaces. The keyword being typed is completed from the
// stored focus keywords (PLYSeoManager::keywordsMatchingPrefix). `keywordsEdited` is the
// field's action: the user ended editing (Return, or leaving a changed field).
class PLYKeywordTokenField : public QLineEdit {
    Q_OBJECT
public:
    explicit PLYKeywordTokenField(QWidget* parent = nullptr);

    // The words of the field, split at spaces, in order.
    QStringList keywords() const;
    void setKeywords(const QStringList& keywords);

    // The keyword under the cursor, from its start to the cursor.
    QString currentSubstring() const;
    // The completions the field offers for a typed substring.
    static QStringList completionsForSubstring(const QString& substring);
    QCompleter* completer() const { return m_completer; }

signals:
    void keywordsEdited();

private:
    void offerCompletions();
    void insertCompletion(const QString& completion);

    QCompleter* m_completer;
    QStringListModel* m_model;
};
