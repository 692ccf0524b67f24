#include "window_kit/desk_notices.h"

#include "data/engine/query.h"
#include "data/engine/engine.h"
#include "window_kit/status_panels.h"

namespace kit {

DeskNotices::DeskNotices(StatusPanels& panels, data::Engine& engine, const QList<data::Query*>& edited)
    : QObject(&panels),
      panels_(panels) {
    setObjectName(QStringLiteral("deskNotices"));
    serverText_ = engine.store().statusText();
    connect(&engine.store(), &data::Store::statusChanged, this, &DeskNotices::setServerText);
    for (data::Query* query : edited)
        watch(query);
    refresh();
}

QString DeskNotices::changedElsewhereText() {
    return QStringLiteral("此记录已被另一台电脑修改，保存时会询问保留哪一份。");
}

void DeskNotices::setServerText(const QString& text) {
    serverText_ = text;
    refresh();
}

void DeskNotices::watch(data::Query* query) {
    if (!query)
        return;
    edited_ << query;
    // The mark lasts while the record stays in edit: posting, cancelling,
    // moving on or reopening ends it.
    connect(query, &data::Query::currentChangedElsewhere, this, &DeskNotices::refresh);
    connect(query, &data::Query::stateChanged, this, &DeskNotices::refresh);
    connect(query, &data::Query::activeChanged, this, &DeskNotices::refresh);
}

void DeskNotices::refresh() {
    QString text = serverText_;
    for (const QPointer<data::Query>& query : edited_) {
        if (!text.isEmpty())
            break;
        if (query && query->isEditing() && query->isChangedElsewhere())
            text = changedElsewhereText();
    }
    panels_.setNotice(text);
}

}  // namespace kit
