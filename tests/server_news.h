#pragma once

// Waiting for another desk's news at a desk on the server.

#include "data/core/store.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

// A program without an application object of its own makes one here, before
// its first engine connects: the server store hears news through a socket notifier,
// which only works once the thread has an event dispatcher.
inline void ensureNewsCanArrive()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tavrel-tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);  // lives as long as the program
}

// Lets the store hear the news of other desks' writes until `done` holds:
// `done` is looked at now and again after each piece of news the store takes
// in (each othersWrote, which the engine's results have heard first). The minute is only a safety net for news that never
// comes; a slow machine ends the wait as soon as the news arrives. False when
// the news that came never made `done` hold.
template <typename Done>
bool hearServerNews(data::Store& link, Done done, int ceilingMs = 60'000)
{
    link.takeNews();  // news already waiting on the socket
    if (done())
        return true;
    QEventLoop loop;
    bool held = false;
    QObject::connect(&link, &data::Store::othersWrote, &loop, [&] {
        if (!held && done()) {
            held = true;
            loop.quit();
        }
    });
    QTimer::singleShot(ceilingMs, &loop, &QEventLoop::quit);
    loop.exec();
    return held;
}
