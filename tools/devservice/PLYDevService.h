#pragma once

#include "PLYFakeService.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

// A small, stateful, in-memory publishing service for running the application on one machine:
// version check, sign-up, log-in, user, account, publisher, posts and their revisions, image
// uploads, clean-up, links and deletion. A post "builds" a few seconds after its last image
// arrives and the account's channel is told with "revision_active".
class PLYDevService : public QObject {
    Q_OBJECT
public:
    struct Options {
        double buildSeconds = 3.0;
        QString minimumVersion = QStringLiteral("1.0.0");
        bool verifyOnSignUp = true;  // false: users are verified when they ask for the e-mail
    };

    explicit PLYDevService(const Options& options, QObject* parent = nullptr);
    bool start(quint16 port, const QHostAddress& address = QHostAddress::LocalHost);
    QUrl baseUrl() const { return m_service.baseUrl(); }
    quint16 port() const { return m_service.port(); }
    PLYFakeService& fakeService() { return m_service; }
    // While held, builds whose images are all in wait; releasing finishes them (tests use it
    // to keep a post building as long as they need).
    void setBuildsHeld(bool held);

    // Extracts the image references of a serialised layout (the protobuf wire format).
    static QStringList imageRefsInLayout(const QByteArray& layout);

private:
    struct User {
        qint64 id = 0, accountId = 0;
        QString firstName, lastName, email, password;
        bool verified = false;
        QVariantMap usage;
        QDateTime created, updated;
    };
    struct Account {
        qint64 id = 0;
        QString name, host;
        bool active = true;
        qint64 status = 1, genericStatus = 0;
        QDateTime created, updated;
    };
    struct Publisher {
        qint64 id = 0, type = 1, status = 0;
        QString username, password, defaultCategory;
        bool autoPublish = false;
        QVariantList tags, categories;
        QDateTime created, updated;
    };
    struct PublishRevision {
        qint64 id = 0, status = 1;
        bool successful = false, autoPublish = false;
        QString category;
        QVariantList tags;
    };
    struct Revision {
        qint64 id = 0, postId = 0, status = 1;
        QString blobHash, seoTitle, meta;
        QVariantList keywords;
        QStringList required, pending;
        std::optional<PublishRevision> publish;
        QDateTime created, updated;
    };
    struct Post {
        qint64 id = 0, accountId = 0, status = 1;
        qint64 pendingRevision = 0, liveRevision = 0;
        QString name;
        bool live = false;
        QDateTime created, updated;
    };

    void installRoutes();
    User* authenticate(const PLYFakeRequest& request);
    QString issueToken(qint64 userId);
    Post* postFor(const User& user, const QString& id);
    // Runs `handler` for the signed-in user's post named by the first "*" of the route.
    PLYFakeReply withPost(const PLYFakeRequest& request, const std::function<PLYFakeReply(Post&)>& handler);

    QVariantMap userJSON(const User& user) const;
    QVariantMap accountJSON(const Account& account) const;
    QVariantMap publisherJSON(const Publisher& publisher) const;
    QVariantMap postJSON(const Post& post) const;
    QVariantMap revisionJSON(const Revision& revision) const;
    QVariantMap publishRevisionJSON(const PublishRevision& revision) const;

    // Makes a revision of `post` from a create or new-revision body and answers the response.
    PLYFakeReply addRevision(Post& post, const QVariantMap& body, int status);
    void scheduleBuild(qint64 revisionId);
    void finishBuild(qint64 revisionId);

    qint64 nextId() { return ++m_lastId; }

    Options m_options;
    PLYFakeService m_service;
    qint64 m_lastId = 0;
    QMap<QString, qint64> m_tokens;
    QMap<qint64, User> m_users;
    QMap<qint64, Account> m_accounts;
    QMap<qint64, Publisher> m_publishers;  // by account
    QMap<qint64, Post> m_posts;
    QMap<qint64, Revision> m_revisions;
    bool m_buildsHeld = false;
    QList<qint64> m_heldBuilds;
};
