#include "PLYLog.h"

#include <QDir>
#include <QRegularExpression>

#include <map>
#include <memory>
#include <mutex>

#include <spdlog/async.h>
#include <spdlog/sinks/daily_file_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/sinks/syslog_sink.h>
#include <spdlog/spdlog.h>

namespace PLYLog {
namespace {

// An observer, called under its own lock: lines from several threads reach it one at a time,
// and once removed it is never called again, not even by a line that was being written while
// it was removed (its owner may be gone the moment removeObserver returns).
struct ObserverEntry {
    std::recursive_mutex mutex;
    bool removed = false;
    Observer observer;
};

struct State {
    std::mutex mutex;
    std::shared_ptr<spdlog::logger> syncLogger;   // errors: written and flushed at once
    std::shared_ptr<spdlog::logger> asyncLogger;  // everything else, to the terminal and the system log
    std::shared_ptr<spdlog::logger> fileLogger;   // everything else, to the file: each line flushed
    std::shared_ptr<spdlog::details::thread_pool> pool;
    QString directory;
    QString fileProblem;
    std::map<int, std::shared_ptr<ObserverEntry>> observers;
    int nextObserver = 1;
};

State& state() {
    static State s;
    return s;
}

// %g: the source file path as compiled, so that two files of one name are told apart.
constexpr const char* kPattern = "%Y-%m-%d %H:%M:%S.%e [%^%l%$] %g:%# %! | %v";

// The daily file in `directory`, or nothing with `problem` said: a log folder that cannot be
// made or written, or a folder where the day's file should be, must not stop the application.
spdlog::sink_ptr makeFileSink(const QString& directory, QString* problem) {
    if (!QDir().mkpath(directory)) {
        *problem = QStringLiteral("cannot create the folder %1").arg(directory);
        return nullptr;
    }
    const QString path = QDir(directory).filePath(QStringLiteral("pellory.log"));
    try {
        return std::make_shared<spdlog::sinks::daily_file_sink_mt>(path.toStdString(), 0, 0, false, 7);
    } catch (const std::exception& e) {
        *problem = QStringLiteral("cannot write the day's log in %1: %2").arg(directory, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        *problem = QStringLiteral("cannot write the day's log in %1").arg(directory);
    }
    return nullptr;
}

void buildLoggers(State& s, const Options& options) {
    std::vector<spdlog::sink_ptr> sinks;
    s.fileProblem.clear();
    spdlog::sink_ptr file;
    if (!options.fileDirectory.isEmpty()) file = makeFileSink(options.fileDirectory, &s.fileProblem);
    // Without its file the log still goes somewhere a person can read it.
    if (options.terminal || (!file && !options.fileDirectory.isEmpty()))
        sinks.push_back(std::make_shared<spdlog::sinks::stderr_color_sink_mt>());
    if (options.systemLog || (!file && !options.fileDirectory.isEmpty())) {
        sinks.push_back(std::make_shared<spdlog::sinks::syslog_sink_mt>("pellory", 0, LOG_USER, true));
    }
    // Lines that reach the terminal and the system log in the background.
    const std::vector<spdlog::sink_ptr> asyncSinks = sinks;
    if (file) sinks.push_back(file);
    for (auto& sink : sinks) sink->set_pattern(kPattern);

    s.syncLogger = std::make_shared<spdlog::logger>("pellory", sinks.begin(), sinks.end());
    s.syncLogger->set_level(spdlog::level::trace);
    s.syncLogger->flush_on(spdlog::level::err);

    // The file gets every line written and flushed before the call returns, so that a crash
    // or a kill leaves the log whole up to its last line: a background queue or a buffer
    // would lose the lines that explain it.
    s.fileLogger.reset();
    if (file) {
        s.fileLogger = std::make_shared<spdlog::logger>("pellory-file", file);
        s.fileLogger->set_level(spdlog::level::trace);
        s.fileLogger->flush_on(spdlog::level::trace);
    }

    if (!s.pool) s.pool = std::make_shared<spdlog::details::thread_pool>(8192, 1);
    s.asyncLogger = std::make_shared<spdlog::async_logger>("pellory-async", asyncSinks.begin(), asyncSinks.end(), s.pool,
                                                           spdlog::async_overflow_policy::block);
    s.asyncLogger->set_level(spdlog::level::trace);
    s.directory = file ? options.fileDirectory : QString();
}

void ensureLoggers(State& s) {
    if (!s.syncLogger) {
        Options terminalOnly;
        terminalOnly.systemLog = false;
        buildLoggers(s, terminalOnly);
    }
}

spdlog::level::level_enum toSpd(Level level) {
    switch (level) {
    case Level::Debug: return spdlog::level::debug;
    case Level::Info: return spdlog::level::info;
    case Level::Warn: return spdlog::level::warn;
    case Level::Error: return spdlog::level::err;
    }
    return spdlog::level::info;
}

}  // namespace

void install(const Options& options) {
    QString problem;
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        if (s.asyncLogger) s.asyncLogger->flush();
        buildLoggers(s, options);
        problem = s.fileProblem;
    }
    if (!problem.isEmpty())
        write(Level::Warn,
              QStringLiteral("Logging to the terminal and the system log only: %1").arg(problem), __FILE__, __LINE__,
              __func__);
}

QString fileLoggingProblem() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.fileProblem;
}

void shutdown() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.asyncLogger) s.asyncLogger->flush();
    if (s.syncLogger) s.syncLogger->flush();
}

QString logDirectory() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.directory;
}

QString redact(const QString& text) {
    static const QString keys = QStringLiteral("password_raw|password|jwt|token|access_token|refresh_token");
    // "key": "value" in JSON. A string value runs to its closing quote, past escaped quotes and
    // backslashes: a secret may hold any character.
    static const QRegularExpression json(
        QStringLiteral(R"re((?<!\\)("(?:%1)"\s*:\s*)("(?:[^"\\]|\\.)*"|[^,}\]\s]+))re").arg(keys),
        QRegularExpression::CaseInsensitiveOption);
    // The same inside a JSON text carried as a string of another: quotes come as \" and
    // backslashes as \\, so the value's own escaped quote reads \\\".
    static const QRegularExpression escapedJson(
        QStringLiteral(R"re((\\"(?:%1)\\"\s*:\s*)(\\"(?:[^"\\]|\\\\(?:[^"\\]|\\"|\\\\))*\\"|[^,}\]\s\\]+))re").arg(keys),
        QRegularExpression::CaseInsensitiveOption);
    // key = value / key: value in dictionary descriptions
    static const QRegularExpression kv(
        QStringLiteral(R"re((\b(?:%1)\b\s*[=:]\s*)("(?:[^"\\]|\\.)*"|[^;,&\s)}]+))re").arg(keys),
        QRegularExpression::CaseInsensitiveOption);
    // ?token=... query items
    static const QRegularExpression query(QStringLiteral(R"re(([?&](?:%1)=)[^&#\s"]*)re").arg(keys),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression bearer(QStringLiteral(R"re((Bearer\s+)[A-Za-z0-9._~+/=-]+)re"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    out.replace(json, QStringLiteral("\\1\"<redacted>\""));
    out.replace(escapedJson, QStringLiteral("\\1\\\"<redacted>\\\""));
    out.replace(query, QStringLiteral("\\1<redacted>"));
    out.replace(kv, QStringLiteral("\\1<redacted>"));
    out.replace(bearer, QStringLiteral("\\1<redacted>"));
    return out;
}

void write(Level level, const QString& message, const char* file, int line, const char* function) {
    const QString clean = redact(message);
    State& s = state();
    std::map<int, std::shared_ptr<ObserverEntry>> observers;
    {
        std::lock_guard lock(s.mutex);
        ensureLoggers(s);
        const spdlog::source_loc loc{file, line, function};
        const std::string text = clean.toStdString();
        if (level == Level::Error) {
            s.asyncLogger->flush();
            s.syncLogger->log(loc, toSpd(level), "{}", text);
            s.syncLogger->flush();
        } else {
            // One time for both, so that the file and the terminal show the same line.
            const auto now = spdlog::log_clock::now();
            if (s.fileLogger) s.fileLogger->log(now, loc, toSpd(level), text);
            s.asyncLogger->log(now, loc, toSpd(level), text);
        }
        observers = s.observers;
    }
    for (auto& [token, entry] : observers) {
        std::lock_guard lock(entry->mutex);
        if (!entry->removed) entry->observer(level, clean);
    }
}

int addObserver(Observer observer) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    const int token = s.nextObserver++;
    auto entry = std::make_shared<ObserverEntry>();
    entry->observer = std::move(observer);
    s.observers[token] = std::move(entry);
    return token;
}

void removeObserver(int token) {
    State& s = state();
    std::shared_ptr<ObserverEntry> entry;
    {
        std::lock_guard lock(s.mutex);
        const auto found = s.observers.find(token);
        if (found == s.observers.end()) return;
        entry = found->second;
        s.observers.erase(found);
    }
    // Waits for a call under way on another thread; later ones see it removed.
    std::lock_guard lock(entry->mutex);
    entry->removed = true;
}

}  // namespace PLYLog
