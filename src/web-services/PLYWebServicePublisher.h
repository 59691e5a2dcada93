#pragma once

#include "PLYWebServiceModelObject.h"

// The credentials and settings with which the service posts to the account's WordPress site.
class PLYWebServicePublisher : public PLYWebServiceModelObject {
public:
    static constexpr qint64 TypeWordpress = 1;

    void initFromJSON(const QVariantMap& json) override;
    // GET publisher
    static bool getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion);
    static QStringList resourcePath() { return {QStringLiteral("publisher")}; }
    // PUT publisher {"publisher": dictionary}, compact.
    bool updateObjectWithDictionary(const QVariantMap& dictionary, const PLYWebServiceCompletionBlock& completion) override;

    // What the blog site reported for statuses 1-6; empty for any other.
    static QString errorStringForStatus(qint64 status);
    QString typeName() const;

    qint64 type() const { return m_type; }
    void setType(qint64 value) { m_type = value; }
    QString username() const { return m_username; }
    void setUsername(const QString& value) { m_username = value; }
    // Never read from the service; set only to send it.
    QString password() const { return m_password; }
    void setPassword(const QString& value) { m_password = value; }
    bool autoPublish() const { return m_autoPublish; }
    void setAutoPublish(bool value) { m_autoPublish = value; }
    qint64 status() const { return m_status; }
    void setStatus(qint64 value) { m_status = value; }
    QVariantList tags() const { return m_tags; }
    void setTags(const QVariantList& value) { m_tags = value; }
    QVariantList categories() const { return m_categories; }
    void setCategories(const QVariantList& value) { m_categories = value; }
    QString defaultCategory() const { return m_defaultCategory; }
    void setDefaultCategory(const QString& value) { m_defaultCategory = value; }

private:
    void takeUpdatedFields(const QVariantMap& json);

    qint64 m_type = 0;
    QString m_username;
    QString m_password;
    bool m_autoPublish = false;
    qint64 m_status = 0;
    QVariantList m_tags;
    QVariantList m_categories;
    QString m_defaultCategory;
};
