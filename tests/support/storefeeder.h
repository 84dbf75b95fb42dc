#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

class Cache;

// Main thread. Plays the worker's part of one mail check for a store without
// a server: announces the messages (newest first, numbered down to 1),
// writes what the store asks for and reports it stored, as the worker does.
// The ids are the messages' own unless given.
void feedStore(Cache *cache, const QList<QByteArray> &newestFirst, QStringList ids = {});
