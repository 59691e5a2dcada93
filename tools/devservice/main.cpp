// The local development service: `pellory-devservice [--port N] [--build-seconds S] [--min-version V]`.
#include "PLYDevService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pellory-devservice"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("In-memory Pellory publishing service for local development."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free port)."), QStringLiteral("N"), QStringLiteral("4000")});
    parser.addOption({QStringLiteral("build-seconds"), QStringLiteral("Seconds a post takes to build once its images are in."), QStringLiteral("S"), QStringLiteral("3")});
    parser.addOption({QStringLiteral("min-version"), QStringLiteral("Lowest application version accepted."), QStringLiteral("V"), QStringLiteral("1.0.0")});
    parser.addOption({QStringLiteral("verify-email"), QStringLiteral("New users must ask for e-mail verification before they are verified.")});
    parser.process(app);

    PLYDevService::Options options;
    options.buildSeconds = parser.value(QStringLiteral("build-seconds")).toDouble();
    options.minimumVersion = parser.value(QStringLiteral("min-version"));
    options.verifyOnSignUp = !parser.isSet(QStringLiteral("verify-email"));
    PLYDevService service(options);
    QTextStream out(stdout);
    if (!service.start(quint16(parser.value(QStringLiteral("port")).toUInt()), QHostAddress::LocalHost)) {
        QTextStream(stderr) << "Could not listen on port " << parser.value(QStringLiteral("port")) << "\n";
        return 1;
    }
    out << "Pellory development service listening on " << service.baseUrl().toString() << "\n";
    out.flush();
    return app.exec();
}
