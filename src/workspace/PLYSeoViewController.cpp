#include "PLYSeoViewController.h"

#include "PLYNamedImage.h"

#include "PLYPostManager.h"
#include "PLYSeoManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kLightSize = 12;

QIcon namedIcon(const char* name) { return PLYNamedImage::icon(QLatin1String(name)); }
}  // namespace

PLYSeoViewController::PLYSeoViewController(QWidget* parent) : PLYGenericPostViewController(parent) {
    setObjectName(QStringLiteral("PLYSeoViewController"));
    QFont base = font();
    base.setPixelSize(13);
    setFont(base);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 16, 16, 16);
    root->setSpacing(16);
    m_title = makeRow(QStringLiteral("seoTitleView"), QStringLiteral("seoTitleLabel"), QStringLiteral("seoTitleImageview"));
    m_meta = makeRow(QStringLiteral("seoMetaView"), QStringLiteral("seoMetaLabel"), QStringLiteral("seoMetaImageview"));
    m_keywords = makeRow(QStringLiteral("seoKeywordsView"), QStringLiteral("seoKeywordsLabel"),
                         QStringLiteral("seoKeywordsImageview"));
    m_imageKeywords = makeRow(QStringLiteral("seoImageKeywordsView"), QStringLiteral("seoImageKeywordsLabel"),
                              QStringLiteral("seoImageKeywordsImageview"));
    m_text = makeRow(QStringLiteral("seoTextContentView"), QStringLiteral("seoTextContentLabel"),
                     QStringLiteral("seoTextContentImageview"));
    for (const Row* row : {&m_title, &m_meta, &m_keywords, &m_imageKeywords, &m_text}) root->addWidget(row->view);
    root->addStretch(1);

    m_observers.add(QString::fromLatin1(PLYSeoManager::OverallSummaryNotification), nullptr,
                    [this](const PLYNotification&) { summaryChanged(); });
    summaryChanged();
}

PLYSeoViewController::~PLYSeoViewController() = default;

PLYSeoViewController::Row PLYSeoViewController::makeRow(const QString& view, const QString& label, const QString& image) {
    Row row;
    row.view = new QWidget(this);
    row.view->setObjectName(view);
    auto* layout = new QHBoxLayout(row.view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    row.image = new QLabel(row.view);
    row.image->setObjectName(image);
    row.image->setFixedSize(kLightSize, kLightSize + 4);
    row.image->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    row.label = new QLabel(row.view);
    row.label->setObjectName(label);
    row.label->setWordWrap(true);
    row.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    row.label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    layout->addWidget(row.image, 0, Qt::AlignTop);
    layout->addWidget(row.label, 1);
    row.view->hide();
    return row;
}

void PLYSeoViewController::setPostManager(std::shared_ptr<PLYPostManager> manager) {
    PLYGenericPostViewController::setPostManager(std::move(manager));
    summaryChanged();
}

QIcon PLYSeoViewController::imageForSummaryLevel(qint64 level) {
    switch (level) {
    case PLYSeoLevelBad: return namedIcon("light-red");
    case PLYSeoLevelWarning: return namedIcon("light-yellow");
    case PLYSeoLevelGood: return namedIcon("light-green");
    default: return {};
    }
}

PLYSeoSentence PLYSeoViewController::summaryTitleForMetric(const PLYSeoMetric& metric) {
    return PLYSeoSentence::forSubMetrics(metric.subMetrics());
}

void PLYSeoViewController::summaryChanged() {
    const auto seo = postManager() ? postManager()->seoManager() : nullptr;
    if (!seo) return;
    const PLYSeoInspectorState state = PLYSeoInspectorState::forManager(*seo);
    apply(m_keywords, state.keywords);
    apply(m_title, state.title);
    apply(m_meta, state.meta);
    apply(m_imageKeywords, state.imageKeywords);
    apply(m_text, state.text);
}

void PLYSeoViewController::apply(const Row& row, const PLYSeoRowState& state) {
    row.view->setVisible(state.visible);
    if (!state.visible) return;
    const QIcon light = imageForSummaryLevel(state.level);
    row.image->setPixmap(light.isNull() ? QPixmap() : light.pixmap(QSize(kLightSize, kLightSize), devicePixelRatioF()));
    static const QStringList names = {tr("Good"), tr("Could be better"), tr("Needs attention")};
    row.image->setAccessibleName(state.level >= 1 && state.level <= 3 ? names.at(state.level - 1) : QString());
    if (state.sentence.plain) {
        row.label->setTextFormat(Qt::PlainText);
        row.label->setText(state.sentence.toPlainText());
    } else {
        row.label->setTextFormat(Qt::RichText);
        row.label->setText(state.sentence.toHtml());
    }
}

void PLYSeoViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    summaryChanged();
}
