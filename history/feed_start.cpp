#include "history/feed_start.h"

#include <QFileInfo>
#include <cstdio>
#include <memory>
#include <optional>

#include "history/recording_warnings.h"
#include "history/shift_counts.h"
#include "records/database_file.h"
#include "records/forwarder.h"
#include "records/server_config.h"

namespace history {

namespace {

constexpr const char* SERVER_SETTING =
    "검사 이력 서버 설정을 쓸 수 없습니다: %s\n검사 이력은 이 검사기에만 기록됩니다.";

struct Feed {
    Strip strip;
    TellOnce told_setting;
    std::unique_ptr<records::Forwarder> forwarder;
};

Feed& TheFeed() {
    static auto* feed = new Feed;
    return *feed;
}

void ShowQueues(long waiting, long refused) {
    ShowWaiting(TheFeed().strip, waiting, refused);
}

}  // namespace

void StartFeed(const Strip& strip) {
    Feed& f = TheFeed();
    f = Feed{};
    f.strip = strip;
    QString error;
    const std::optional<records::ServerConfig> server = records::ReadServerConfig(&error);
    if (!error.isEmpty()) {
        char text[1024];
        std::snprintf(text, sizeof text, SERVER_SETTING, error.toUtf8().constData());
        Tell(&f.told_setting, text);
    }
    if (!server) {
        return;
    }
    records::Forwarder::Events events;
    events.counts = ShowQueues;
    events.warn = [](const QString& text) { Tell(text.toStdString()); };
    f.forwarder = std::make_unique<records::Forwarder>(
        *server, QFileInfo(QString::fromLatin1(records::DATABASE_FILE)).absoluteFilePath(), events);
}

void WakeFeed() {
    if (TheFeed().forwarder) {
        TheFeed().forwarder->Wake();
    }
}

void ReopenFeed() {
    if (TheFeed().forwarder) {
        TheFeed().forwarder->ReopenLocal();
    }
}

long FeedWaiting() {
    return TheFeed().forwarder ? TheFeed().forwarder->Waiting() : -1;
}

long FeedRefused() {
    return TheFeed().forwarder ? TheFeed().forwarder->Refused() : 0;
}

void StopFeed() {
    TheFeed().forwarder.reset();
}

}  // namespace history
