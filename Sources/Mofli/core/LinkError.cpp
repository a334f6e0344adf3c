#include "LinkError.h"

#include "PluginHooks.h"

LinkError::LinkError(Kind kind, QString detail) : kind_(kind), detail_(std::move(detail)) {
}

LinkError LinkError::commandFailed(const QString& output) {
    return {Kind::commandFailed, output};
}

LinkError LinkError::claudeNotFound() {
    return {Kind::claudeNotFound, {}};
}

LinkError LinkError::bundledPluginMissing() {
    return {Kind::bundledPluginMissing, {}};
}

LinkError LinkError::fileError(const QString& description) {
    return {Kind::fileError, description};
}

LinkError LinkError::cliTooOld(const QString& version) {
    return {Kind::cliTooOld, version};
}

QString LinkError::localizedDescription() const {
    switch (kind_) {
    case Kind::commandFailed:
        return QStringLiteral("plugin 操作に失敗しました: ") + detail_;
    case Kind::claudeNotFound:
        return QStringLiteral("claude コマンドが見つかりませんでした。Claude Code "
                              "がインストールされているか確認してください。");
    case Kind::bundledPluginMissing:
        return QStringLiteral("アプリに同梱された plugin が見つかりませんでした。");
    case Kind::fileError:
        return detail_;
    case Kind::cliTooOld:
        return QStringLiteral(
                   "この Claude Code（%1）は古いため、Mofli と連携できません。Claude Code "
                   "を %2 以降に更新（claude update）してから、もう一度連携してください。")
            .arg(detail_, PluginHooks::oldestSupported.toString());
    }
    return detail_;
}
