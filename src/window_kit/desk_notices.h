#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

namespace data {
class Engine;
class Query;
}

namespace kit {

class StatusPanels;

// What a window's status bar says of the other desks, as the notice of its
// first panel: the server's state while it is not well (lost, trying again),
// otherwise that the record being edited in one of the window's queries was
// changed at another desk meanwhile. Nothing on table files.
class DeskNotices : public QObject {
    Q_OBJECT

public:
    // Listens to the engine's server, when it has one, and to the queries.
    DeskNotices(StatusPanels& panels, data::Engine& engine, const QList<data::Query*>& edited = {});

    // The server's state in words; empty while all is well.
    void setServerText(const QString& text);

    static QString changedElsewhereText();  // "此记录已被另一台电脑修改，…"

private:
    void watch(data::Query* query);
    void refresh();

    StatusPanels& panels_;
    QString serverText_;
    QList<QPointer<data::Query>> edited_;
};

}  // namespace kit
