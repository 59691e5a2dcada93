#include "PLYKeywordTokenField.h"

#include "PLYSeoManager.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QStringListModel>

PLYKeywordTokenField::PLYKeywordTokenField(QWidget* parent)
    : QLineEdit(parent), m_completer(new QCompleter(this)), m_model(new QStringListModel(this)) {
    // The completer works on the word being typed, not on the whole text, so it is not the
    // field's own completer (that one would replace every word).
    m_completer->setModel(m_model);
    m_completer->setWidget(this);
    m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    connect(m_completer, qOverload<const QString&>(&QCompleter::activated), this,
            &PLYKeywordTokenField::insertCompletion);
    connect(this, &QLineEdit::textEdited, this, &PLYKeywordTokenField::offerCompletions);
    connect(this, &QLineEdit::editingFinished, this, &PLYKeywordTokenField::keywordsEdited);
}

QStringList PLYKeywordTokenField::keywords() const { return text().split(QLatin1Char(' '), Qt::SkipEmptyParts); }

void PLYKeywordTokenField::setKeywords(const QStringList& keywords) { setText(keywords.join(QLatin1Char(' '))); }

QString PLYKeywordTokenField::currentSubstring() const {
    const QString before = text().left(cursorPosition());
    return before.mid(before.lastIndexOf(QLatin1Char(' ')) + 1);
}

QStringList PLYKeywordTokenField::completionsForSubstring(const QString& substring) {
    return PLYSeoManager::keywordsMatchingPrefix(substring);
}

void PLYKeywordTokenField::offerCompletions() {
    const QString substring = currentSubstring();
    QStringList offers = substring.isEmpty() ? QStringList() : completionsForSubstring(substring);
    offers.removeAll(substring);  // nothing to complete for a word already whole
    m_model->setStringList(offers);
    if (offers.isEmpty()) {
        m_completer->popup()->hide();
        return;
    }
    m_completer->complete();
}

void PLYKeywordTokenField::insertCompletion(const QString& completion) {
    const QString all = text();
    const int cursor = cursorPosition();
    const int start = int(all.left(cursor).lastIndexOf(QLatin1Char(' ')) + 1);
    int end = int(all.indexOf(QLatin1Char(' '), cursor));
    if (end < 0) end = int(all.size());
    setText(all.left(start) + completion + all.mid(end));
    setCursorPosition(start + int(completion.size()));
}
