#include "PLYDevService.h"

#include <QRegularExpression>
#include <QTimer>
#include <QUuid>

namespace {

QString stamp(const QDateTime& date) { return date.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + QLatin1Char('Z'); }
QDateTime now() { return QDateTime::currentDateTimeUtc(); }

PLYFakeReply error(int status, qint64 code, const QString& message, const QVariantMap& errors = {}) {
    QVariantMap body{{QStringLiteral("code"), code}, {QStringLiteral("error"), message}};
    if (!errors.isEmpty()) body.insert(QStringLiteral("errors"), errors);
    return PLYFakeReply::json(status, body);
}

PLYFakeReply data(const QVariantMap& object, int status = 200) {
    return PLYFakeReply::json(status, QVariantMap{{QStringLiteral("data"), object}});
}

PLYFakeReply unauthorised() { return error(401, 10000, QStringLiteral("Your session has expired.")); }

// Reads one varint; answers false at the end of the buffer or on a malformed value.
bool readVarint(const QByteArray& bytes, qsizetype& at, quint64& value) {
    value = 0;
    for (int shift = 0; shift < 64 && at < bytes.size(); shift += 7) {
        const quint8 byte = quint8(bytes[at++]);
        value |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80)) return true;
    }
    return false;
}

// The length-delimited fields of one message, by field number, in order.
QList<QPair<quint32, QByteArray>> lengthDelimitedFields(const QByteArray& message) {
    QList<QPair<quint32, QByteArray>> fields;
    qsizetype at = 0;
    while (at < message.size()) {
        quint64 key = 0, value = 0;
        if (!readVarint(message, at, key)) break;
        const quint32 field = quint32(key >> 3);
        switch (key & 7) {
        case 0: if (!readVarint(message, at, value)) return fields; break;
        case 1: at += 8; break;
        case 5: at += 4; break;
        case 2:
            // Compared unsigned: a length beyond 63 bits must not turn negative and run backwards.
            if (!readVarint(message, at, value) || value > quint64(message.size() - at)) return fields;
            fields.append({field, message.mid(at, qsizetype(value))});
            at += qsizetype(value);
            break;
        default: return fields;
        }
    }
    return fields;
}

// Layout 4: sections; section 2: blocks; block 4: container (2: sub-blocks), 5: image (1: reference).
void collectBlockRefs(const QByteArray& block, QStringList& refs) {
    for (const auto& [field, bytes] : lengthDelimitedFields(block)) {
        if (field == 5) {
            for (const auto& [imageField, value] : lengthDelimitedFields(bytes))
                if (imageField == 1 && !value.isEmpty() && !refs.contains(QString::fromUtf8(value))) refs << QString::fromUtf8(value);
        } else if (field == 4) {
            for (const auto& [containerField, sub] : lengthDelimitedFields(bytes))
                if (containerField == 2) collectBlockRefs(sub, refs);
        }
    }
}

}  // namespace

QStringList PLYDevService::imageRefsInLayout(const QByteArray& layout) {
    QStringList refs;
    for (const auto& [field, section] : lengthDelimitedFields(layout)) {
        if (field != 4) continue;
        for (const auto& [sectionField, block] : lengthDelimitedFields(section))
            if (sectionField == 2) collectBlockRefs(block, refs);
    }
    return refs;
}

PLYDevService::PLYDevService(const Options& options, QObject* parent) : QObject(parent), m_options(options) {
    installRoutes();
}

bool PLYDevService::start(quint16 port, const QHostAddress& address) { return m_service.start(port, address); }

QString PLYDevService::issueToken(qint64 userId) {
    const QString token = QStringLiteral("dev.") + QUuid::createUuid().toString(QUuid::Id128);
    m_tokens.insert(token, userId);
    return token;
}

PLYDevService::User* PLYDevService::authenticate(const PLYFakeRequest& request) {
    const auto it = m_tokens.constFind(request.bearerToken());
    if (it == m_tokens.constEnd() || !m_users.contains(*it)) return nullptr;
    return &m_users[*it];
}

PLYFakeReply PLYDevService::withPost(const PLYFakeRequest& request, const std::function<PLYFakeReply(Post&)>& handler) {
    User* user = authenticate(request);
    if (!user) return unauthorised();
    Post* post = postFor(*user, request.captures.value(0));
    if (!post) return error(404, 301, QStringLiteral("This post no longer exists."));
    return handler(*post);
}

PLYDevService::Post* PLYDevService::postFor(const User& user, const QString& id) {
    const auto it = m_posts.find(id.toLongLong());
    if (it == m_posts.end() || it->accountId != user.accountId) return nullptr;
    return &*it;
}

QVariantMap PLYDevService::userJSON(const User& user) const {
    return {{QStringLiteral("id"), user.id}, {QStringLiteral("f_name"), user.firstName}, {QStringLiteral("l_name"), user.lastName},
            {QStringLiteral("email"), user.email}, {QStringLiteral("verified"), user.verified},
            {QStringLiteral("app_usage"), user.usage}, {QStringLiteral("created_at"), stamp(user.created)},
            {QStringLiteral("updated_at"), stamp(user.updated)}};
}

QVariantMap PLYDevService::accountJSON(const Account& account) const {
    return {{QStringLiteral("id"), account.id}, {QStringLiteral("name"), account.name}, {QStringLiteral("active"), account.active},
            {QStringLiteral("status"), account.status}, {QStringLiteral("gen_status"), account.genericStatus},
            {QStringLiteral("host"), account.host}, {QStringLiteral("created_at"), stamp(account.created)},
            {QStringLiteral("updated_at"), stamp(account.updated)}};
}

QVariantMap PLYDevService::publisherJSON(const Publisher& publisher) const {
    return {{QStringLiteral("id"), publisher.id}, {QStringLiteral("type"), publisher.type},
            {QStringLiteral("username"), publisher.username}, {QStringLiteral("auto_publish"), publisher.autoPublish},
            {QStringLiteral("status"), publisher.status}, {QStringLiteral("tags"), publisher.tags},
            {QStringLiteral("categories"), publisher.categories}, {QStringLiteral("default_category"), publisher.defaultCategory},
            {QStringLiteral("created_at"), stamp(publisher.created)}, {QStringLiteral("updated_at"), stamp(publisher.updated)}};
}

QVariantMap PLYDevService::postJSON(const Post& post) const {
    return {{QStringLiteral("id"), post.id}, {QStringLiteral("name"), post.name}, {QStringLiteral("live"), post.live},
            {QStringLiteral("status"), post.status}, {QStringLiteral("created_at"), stamp(post.created)},
            {QStringLiteral("updated_at"), stamp(post.updated)}};
}

QVariantMap PLYDevService::revisionJSON(const Revision& revision) const {
    QVariantMap required;
    for (const QString& ref : revision.required) required.insert(ref, true);
    return {{QStringLiteral("id"), revision.id}, {QStringLiteral("post_id"), revision.postId},
            {QStringLiteral("status"), revision.status}, {QStringLiteral("blob_hash"), revision.blobHash},
            {QStringLiteral("seo_title"), revision.seoTitle.isNull() ? QVariant::fromValue(nullptr) : QVariant(revision.seoTitle)},
            {QStringLiteral("meta"), revision.meta.isNull() ? QVariant::fromValue(nullptr) : QVariant(revision.meta)},
            {QStringLiteral("keywords"), revision.keywords}, {QStringLiteral("required_ref_ids"), required},
            {QStringLiteral("pending"), QVariant(revision.pending)}, {QStringLiteral("created_at"), stamp(revision.created)},
            {QStringLiteral("updated_at"), stamp(revision.updated)}};
}

QVariantMap PLYDevService::publishRevisionJSON(const PublishRevision& revision) const {
    return {{QStringLiteral("id"), revision.id}, {QStringLiteral("status"), revision.status},
            {QStringLiteral("successful"), revision.successful}, {QStringLiteral("auto_publish"), revision.autoPublish},
            {QStringLiteral("category"), revision.category}, {QStringLiteral("tags"), revision.tags}};
}

PLYFakeReply PLYDevService::addRevision(Post& post, const QVariantMap& body, int status) {
    const QVariantMap payload = body.value(QStringLiteral("post_revision")).toMap();
    const QString blob = payload.value(QStringLiteral("blob")).toString();
    Revision revision;
    revision.id = nextId();
    revision.postId = post.id;
    revision.blobHash = blob;
    revision.seoTitle = payload.value(QStringLiteral("seo_title")).toString();
    revision.meta = payload.value(QStringLiteral("meta")).toString();
    revision.keywords = payload.value(QStringLiteral("keywords")).toList();
    revision.required = imageRefsInLayout(QByteArray::fromBase64(blob.toLatin1()));
    revision.pending = revision.required;
    revision.created = revision.updated = now();
    if (body.value(QStringLiteral("publish")).toBool()) {
        const QVariantMap publish = body.value(QStringLiteral("publish_revision")).toMap();
        PublishRevision publishRevision;
        publishRevision.id = nextId();
        publishRevision.autoPublish = publish.value(QStringLiteral("auto_publish")).toBool();
        publishRevision.category = publish.value(QStringLiteral("category")).toString();
        publishRevision.tags = revision.keywords;
        revision.publish = publishRevision;
    }
    m_revisions.insert(revision.id, revision);
    post.pendingRevision = revision.id;
    post.status = 1;
    post.updated = now();
    if (revision.pending.isEmpty()) scheduleBuild(revision.id);

    QVariantMap response{{QStringLiteral("post"), postJSON(post)}, {QStringLiteral("post_revision"), revisionJSON(revision)}};
    if (revision.publish) response.insert(QStringLiteral("publish_revision"), publishRevisionJSON(*revision.publish));
    return PLYFakeReply::json(status, response);
}

void PLYDevService::scheduleBuild(qint64 revisionId) {
    QTimer::singleShot(int(m_options.buildSeconds * 1000), this, [this, revisionId] { finishBuild(revisionId); });
}

void PLYDevService::setBuildsHeld(bool held) {
    m_buildsHeld = held;
    if (held) return;
    const QList<qint64> waiting = std::exchange(m_heldBuilds, {});
    for (const qint64 revisionId : waiting) finishBuild(revisionId);
}

void PLYDevService::finishBuild(qint64 revisionId) {
    if (m_buildsHeld) {
        if (!m_heldBuilds.contains(revisionId)) m_heldBuilds.append(revisionId);
        return;
    }
    auto revision = m_revisions.find(revisionId);
    if (revision == m_revisions.end()) return;
    auto post = m_posts.find(revision->postId);
    // A revision replaced or cleaned up meanwhile is not built.
    if (post == m_posts.end() || post->pendingRevision != revisionId) return;
    revision->status = 0;
    revision->updated = now();
    if (revision->publish) {
        const auto publisher = m_publishers.constFind(post->accountId);
        revision->publish->successful = publisher != m_publishers.constEnd() && publisher->status == 0;
        revision->publish->status = revision->publish->successful ? 0 : 2;
    }
    post->liveRevision = revisionId;
    post->pendingRevision = 0;
    post->status = 0;
    post->live = true;
    post->updated = now();
    m_service.push(QStringLiteral("account:%1").arg(post->accountId), QStringLiteral("revision_active"),
                   {{QStringLiteral("post"), post->id}, {QStringLiteral("post_revision"), revisionId}});
}

void PLYDevService::installRoutes() {
    PLYFakeService& s = m_service;

    s.setHandler("GET", QStringLiteral("/core/supported"), [this](const PLYFakeRequest&) {
        return PLYFakeReply::json(200, QVariantMap{{QStringLiteral("version"), m_options.minimumVersion}});
    });

    s.setHandler("POST", QStringLiteral("/api/user"), [this](const PLYFakeRequest& request) {
        const QVariantMap fields = request.json().toMap().value(QStringLiteral("user")).toMap();
        const QString email = fields.value(QStringLiteral("email")).toString().trimmed();
        const QString password = fields.value(QStringLiteral("password_raw")).toString();
        QVariantMap problems;
        if (!email.contains(QLatin1Char('@'))) problems.insert(QStringLiteral("email"), QVariantList{QStringLiteral("has invalid format")});
        if (password.size() < 6) problems.insert(QStringLiteral("password_raw"), QVariantList{QStringLiteral("should be at least 6 characters")});
        for (const User& user : std::as_const(m_users))
            if (user.email.compare(email, Qt::CaseInsensitive) == 0)
                problems.insert(QStringLiteral("email"), QVariantList{QStringLiteral("has already been taken")});
        // Field problems come as the service sends them: code 100 with the fields' messages.
        if (!problems.isEmpty()) return error(422, 100, QStringLiteral("The account could not be created."), problems);
        Account account;
        account.id = nextId();
        account.name = fields.value(QStringLiteral("f_name")).toString() + QLatin1Char(' ') + fields.value(QStringLiteral("l_name")).toString();
        account.created = account.updated = now();
        m_accounts.insert(account.id, account);
        User user;
        user.id = nextId();
        user.accountId = account.id;
        user.firstName = fields.value(QStringLiteral("f_name")).toString();
        user.lastName = fields.value(QStringLiteral("l_name")).toString();
        user.email = email;
        user.password = password;
        user.verified = m_options.verifyOnSignUp;
        user.created = user.updated = now();
        m_users.insert(user.id, user);
        return PLYFakeReply::json(201, QVariantMap{{QStringLiteral("jwt"), issueToken(user.id)},
                                                   {QStringLiteral("user"), userJSON(user)},
                                                   {QStringLiteral("account"), accountJSON(account)}});
    });

    s.setHandler("POST", QStringLiteral("/api/log-in"), [this](const PLYFakeRequest& request) {
        const QVariantMap fields = request.json().toMap().value(QStringLiteral("user")).toMap();
        const QString email = fields.value(QStringLiteral("email")).toString().trimmed();
        for (const User& user : std::as_const(m_users)) {
            if (user.email.compare(email, Qt::CaseInsensitive) != 0) continue;
            if (user.password == fields.value(QStringLiteral("password")).toString())
                return PLYFakeReply::json(200, QVariantMap{{QStringLiteral("jwt"), issueToken(user.id)}});
            // Code 1: the password is wrong; code 2: nobody has this e-mail.
            return error(401, 1, QStringLiteral("The password is incorrect."));
        }
        return error(401, 2, QStringLiteral("No account has this email address."));
    });

    s.setHandler("POST", QStringLiteral("/api/request-email-verify"), [this](const PLYFakeRequest& request) {
        const QString email = request.json().toMap().value(QStringLiteral("email")).toString();
        for (User& user : m_users)
            if (user.email.compare(email, Qt::CaseInsensitive) == 0) user.verified = true;  // as if the link was followed
        return PLYFakeReply::json(200, QVariantMap{{QStringLiteral("ok"), true}});
    });

    s.setHandler("GET", QStringLiteral("/api/me"), [this](const PLYFakeRequest& request) {
        User* user = authenticate(request);
        return user ? data(userJSON(*user)) : unauthorised();
    });
    s.setHandler("PUT", QStringLiteral("/api/me"), [this](const PLYFakeRequest& request) {
        User* user = authenticate(request);
        if (!user) return unauthorised();
        const QVariantMap fields = request.json().toMap().value(QStringLiteral("user")).toMap();
        if (fields.contains(QStringLiteral("f_name"))) user->firstName = fields.value(QStringLiteral("f_name")).toString();
        if (fields.contains(QStringLiteral("l_name"))) user->lastName = fields.value(QStringLiteral("l_name")).toString();
        if (fields.contains(QStringLiteral("email"))) user->email = fields.value(QStringLiteral("email")).toString();
        if (fields.contains(QStringLiteral("app_usage"))) user->usage = fields.value(QStringLiteral("app_usage")).toMap();
        user->updated = now();
        return data(userJSON(*user));
    });

    s.setHandler("GET", QStringLiteral("/api/me/account"), [this](const PLYFakeRequest& request) {
        User* user = authenticate(request);
        return user ? data(accountJSON(m_accounts.value(user->accountId))) : unauthorised();
    });
    s.setHandler("PUT", QStringLiteral("/api/me/account"), [this](const PLYFakeRequest& request) {
        User* user = authenticate(request);
        if (!user) return unauthorised();
        Account& account = m_accounts[user->accountId];
        const QVariantMap fields = request.json().toMap().value(QStringLiteral("account")).toMap();
        if (fields.contains(QStringLiteral("host"))) {
            const QString host = fields.value(QStringLiteral("host")).toString().trimmed();
            static const QRegularExpression domain(
                QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)+$"));
            // Code 203: the domain is not one a blog can live at.
            if (!domain.match(host).hasMatch()) return error(422, 203, QStringLiteral("The domain is not valid."));
            account.host = host;
        }
        if (fields.contains(QStringLiteral("name"))) account.name = fields.value(QStringLiteral("name")).toString();
        account.updated = now();
        return data(accountJSON(account));
    });

    s.setHandler("GET", QStringLiteral("/api/me/publisher"), [this](const PLYFakeRequest& request) {
        User* user = authenticate(request);
        if (!user) return unauthorised();
        if (!m_publishers.contains(user->accountId)) return error(404, 501, QStringLiteral("The account has no publisher."));
        return data(publisherJSON(m_publishers.value(user->accountId)));
    });
    const auto writePublisher = [this](const PLYFakeRequest& request, bool create) {
        User* user = authenticate(request);
        if (!user) return unauthorised();
        const QVariantMap fields = request.json().toMap().value(QStringLiteral("publisher")).toMap();
        if (create == m_publishers.contains(user->accountId))
            return create ? error(409, 409, QStringLiteral("The account already has a publisher."))
                          : error(404, 501, QStringLiteral("The account has no publisher."));
        Publisher& publisher = m_publishers[user->accountId];
        if (create) {
            publisher.id = nextId();
            publisher.type = fields.value(QStringLiteral("type"), 1).toLongLong();
            publisher.categories = {QStringLiteral("Uncategorized"), QStringLiteral("Stories"), QStringLiteral("Travel")};
            publisher.defaultCategory = QStringLiteral("Uncategorized");
            publisher.created = now();
        }
        if (fields.contains(QStringLiteral("username"))) publisher.username = fields.value(QStringLiteral("username")).toString();
        if (fields.contains(QStringLiteral("password"))) publisher.password = fields.value(QStringLiteral("password")).toString();
        if (fields.contains(QStringLiteral("default_category")))
            publisher.defaultCategory = fields.value(QStringLiteral("default_category")).toString();
        if (fields.contains(QStringLiteral("auto_publish"))) publisher.autoPublish = fields.value(QStringLiteral("auto_publish")).toBool();
        // A blank password stands for credentials the blog refuses; a blog whose domain starts
        // with "norpc." for one that blocks XML-RPC.
        const bool blocksRPC = m_accounts.value(user->accountId).host.startsWith(QLatin1String("norpc."));
        publisher.status = blocksRPC ? 6 : publisher.password.isEmpty() ? 4 : 0;
        publisher.updated = now();
        return data(publisherJSON(publisher), create ? 201 : 200);
    };
    s.setHandler("POST", QStringLiteral("/api/me/publisher"), [writePublisher](const PLYFakeRequest& r) { return writePublisher(r, true); });
    s.setHandler("PUT", QStringLiteral("/api/me/publisher"), [writePublisher](const PLYFakeRequest& r) { return writePublisher(r, false); });
    s.setHandler("DELETE", QStringLiteral("/api/me/publisher"), [this](const PLYFakeRequest& request) {
        User* user = authenticate(request);
        if (!user) return unauthorised();
        if (!m_publishers.remove(user->accountId)) return error(404, 501, QStringLiteral("The account has no publisher."));
        return PLYFakeReply::json(200, QVariantMap{{QStringLiteral("ok"), true}});
    });

    s.setHandler("POST", QStringLiteral("/api/me/posts"), [this](const PLYFakeRequest& request) {
        User* user = authenticate(request);
        if (!user) return unauthorised();
        const QVariantMap body = request.json().toMap();
        Post post;
        post.id = nextId();
        post.accountId = user->accountId;
        post.name = body.value(QStringLiteral("name")).toString();
        post.created = post.updated = now();
        m_posts.insert(post.id, post);
        return addRevision(m_posts[post.id], body, 201);
    });
    s.setHandler("GET", QStringLiteral("/api/me/posts/*"), [this](const PLYFakeRequest& request) {
        return withPost(request, [&](Post& post) { return data(postJSON(post)); });
    });
    s.setHandler("DELETE", QStringLiteral("/api/me/posts/*"), [this](const PLYFakeRequest& request) {
        return withPost(request, [&](Post& post) {
            m_posts.remove(post.id);
            return PLYFakeReply::json(200, QVariantMap{{QStringLiteral("ok"), true}});
        });
    });
    for (const bool pending : {true, false}) {
        s.setHandler("GET", pending ? QStringLiteral("/api/me/posts/*/pending-revision") : QStringLiteral("/api/me/posts/*/live-revision"),
                     [this, pending](const PLYFakeRequest& request) {
                         return withPost(request, [&](Post& post) {
                             const qint64 id = pending ? post.pendingRevision : post.liveRevision;
                             if (!m_revisions.contains(id)) return error(404, 404, QStringLiteral("No such revision."));
                             return data(revisionJSON(m_revisions.value(id)));
                         });
                     });
    }
    s.setHandler("POST", QStringLiteral("/api/me/posts/*/postrevisions"), [this](const PLYFakeRequest& request) {
        return withPost(request, [&](Post& post) {
            return addRevision(post, request.json().toMap(), 201);
        });
    });
    s.setHandler("GET", QStringLiteral("/api/me/posts/*/postrevisions/*/publishrevision"), [this](const PLYFakeRequest& request) {
        User* user = authenticate(request);
        if (!user) return unauthorised();
        Post* post = postFor(*user, request.captures.value(0));
        const auto revision = m_revisions.constFind(request.captures.value(1).toLongLong());
        if (!post || revision == m_revisions.constEnd() || revision->postId != post->id || !revision->publish)
            return error(404, 404, QStringLiteral("No such publish revision."));
        return data(publishRevisionJSON(*revision->publish));
    });
    s.setHandler("POST", QStringLiteral("/api/me/posts/*/clean"), [this](const PLYFakeRequest& request) {
        return withPost(request, [&](Post& post) {
            m_revisions.remove(post.pendingRevision);
            post.pendingRevision = 0;
            // A post that never went live has nothing left once its pending revision goes.
            const bool purge = post.liveRevision == 0;
            if (purge) m_posts.remove(post.id);
            return PLYFakeReply::json(200, QVariantMap{{QStringLiteral("deep_purge"), purge}});
        });
    });
    s.setHandler("GET", QStringLiteral("/api/me/posts/*/link-stub"), [this](const PLYFakeRequest& request) {
        return withPost(request, [&](Post& post) {
            // The short link to the built post that a site without a blog publisher embeds.
            return PLYFakeReply::text(200, QStringLiteral("%1/p/%2").arg(m_service.baseUrl().toString()).arg(post.id).toUtf8());
        });
    });
    s.setHandler("GET", QStringLiteral("/api/me/posts/*/link-destination"), [this](const PLYFakeRequest& request) {
        return withPost(request, [&](Post& post) {
            const QString host = m_accounts.value(post.accountId).host;
            return PLYFakeReply::json(200, QVariantMap{{QStringLiteral("link"),
                QStringLiteral("https://%1/?p=%2").arg(host.isEmpty() ? QStringLiteral("example.org") : host).arg(post.id)}});
        });
    });

    s.setHandler("POST", QStringLiteral("/api/me/images"), [this](const PLYFakeRequest& request) {
        User* user = authenticate(request);
        if (!user) return unauthorised();
        const QVariantMap image = request.json().toMap().value(QStringLiteral("image")).toMap();
        const auto revision = m_revisions.find(image.value(QStringLiteral("post_revision_id")).toLongLong());
        const QString ref = image.value(QStringLiteral("ref_id")).toString();
        if (revision == m_revisions.end() || !m_posts.contains(revision->postId) ||
            m_posts.value(revision->postId).accountId != user->accountId)
            return error(404, 404, QStringLiteral("No such revision."));
        if (QByteArray::fromBase64(image.value(QStringLiteral("blob")).toString().toLatin1()).isEmpty())
            return error(422, 422, QStringLiteral("The image is empty."));
        const bool wasPending = !revision->pending.isEmpty();
        revision->pending.removeAll(ref);
        if (wasPending && revision->pending.isEmpty()) scheduleBuild(revision->id);
        return data({{QStringLiteral("ref_id"), ref}, {QStringLiteral("post_revision_id"), revision->id}}, 201);
    });
}
