#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

// Whether the internet is reachable, from QNetworkInformation where a backend loads; without
// one the internet counts as reachable (the service ping decides the rest). The blocks run on
// the main thread when reachability changes, and once with the current state when the
// notifier starts.
class PLYReachability : public QObject {
    Q_OBJECT
public:
    using Block = std::function<void(PLYReachability*)>;

    static std::shared_ptr<PLYReachability> reachabilityForInternetConnection();
    explicit PLYReachability(QObject* parent = nullptr);
    ~PLYReachability() override;

    void setReachableBlock(Block block) { m_reachableBlock = std::move(block); }
    void setUnreachableBlock(Block block) { m_unreachableBlock = std::move(block); }

    bool startNotifier();
    void stopNotifier();
    bool isReachable() const;

    // Tests: pretend reachability is `state` (std::nullopt returns to the backend). Notifies
    // as a real change would when the notifier runs.
    void setReachableForTesting(std::optional<bool> state);

private:
    bool backendReachable() const;
    void evaluate(bool always);

    Block m_reachableBlock;
    Block m_unreachableBlock;
    bool m_notifying = false;
    std::optional<bool> m_injected;
    std::optional<bool> m_lastReported;
};
