#include "PLYWebServiceUser.h"

#include "PLYWebServiceHost.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>
#include <QThread>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex& providerMutex() {
    static std::mutex m;
    return m;
}
std::function<quint64()>& postCountProvider() {
    static std::function<quint64()> provider;
    return provider;
}

quint64 physicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? quint64(pages) * quint64(pageSize) : 0;
}

QString applicationVersion() {
    const QString version = QCoreApplication::applicationVersion();
#ifdef PELLORY_VERSION
    if (version.isEmpty()) return QStringLiteral(PELLORY_VERSION);
#endif
    return version;
}

}  // namespace

void PLYWebServiceUser::setLocalPostCountProvider(std::function<quint64()> provider) {
    std::lock_guard lock(providerMutex());
    postCountProvider() = std::move(provider);
}

void PLYWebServiceUser::initFromJSON(const QVariantMap& json) {
    PLYWebServiceModelObject::initFromJSON(json);
    takeFields(json);
}

void PLYWebServiceUser::takeFields(const QVariantMap& json) {
    m_firstName = sanitiseJSONDisplayString(json, QStringLiteral("f_name"));
    m_lastName = sanitiseJSONDisplayString(json, QStringLiteral("l_name"));
    m_email = sanitiseJSONDisplayString(json, QStringLiteral("email"));
    m_verified = boolFromJSON(json.value(QStringLiteral("verified")));
    m_usage = sanitiseJSONDictionary(json.value(QStringLiteral("app_usage")));
}

bool PLYWebServiceUser::getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion) {
    return fetch<PLYWebServiceUser>(fetchRequest(PLYWebServiceHost::currentHost()->serviceMeURL(),
                                                 QStringLiteral("PLYWebServiceUser::getObjectFromServerRequest")),
                                    completion);
}

QVariantMap PLYWebServiceUser::dictionary() const {
    std::function<quint64()> provider;
    {
        std::lock_guard lock(providerMutex());
        provider = postCountProvider();
    }
    QVariantMap usage;
    usage.insert(QStringLiteral("app_ver"), applicationVersion());
    usage.insert(QStringLiteral("os_ver"), QSysInfo::prettyProductName());
    usage.insert(QStringLiteral("p_count"), quint64(qMax(1, QThread::idealThreadCount())));
    usage.insert(QStringLiteral("m_count"), physicalMemory());
    usage.insert(QStringLiteral("l_p_count"), provider ? provider() : quint64(0));
    QVariantMap result = PLYWebServiceModelObject::dictionary();
    result.insert(QStringLiteral("app_usage"), usage);
    return result;
}

bool PLYWebServiceUser::updateObjectWithDictionary(const QVariantMap& dictionary,
                                                   const PLYWebServiceCompletionBlock& completion) {
    QVariantMap user = this->dictionary();
    for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it) user.insert(it.key(), it.value());
    return sendUpdate(writeRequest("PUT", PLYWebServiceHost::currentHost()->serviceMeURL(), QStringLiteral("user"), user, true), completion, [this](const QVariantMap& data) { takeFields(data); });
}

bool PLYWebServiceUser::sendEmailVerifyMail(const PLYWebServiceCompletionBlock& completion) {
    Request request;
    request.method = "POST";
    request.url = PLYWebServiceHost::currentHost()->serviceApiURLWithPaths({QStringLiteral("request-email-verify")});
    request.authenticated = false;  // allowed before sign-in
    request.jsonBody = QVariantMap{{QStringLiteral("email"), m_email}};
    request.prettyBody = false;
    send(request, [completion](const Response& response) { finish(response, completion, nullptr); });
    return true;
}
