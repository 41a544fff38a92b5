#pragma once

#include <QByteArrayList>

// Starts a program of its own: argv[0] is its file name, as bytes, searched
// on PATH when it has no folder; the rest are its arguments. A new session,
// the current directory and environment, the launcher's standard input and
// outputs and no other descriptor of it, its signal mask and ignored signals
// reset. Answers whether the program was started.
//
// Unlike QProcess::startDetached, which forks the whole launcher twice, the
// program is spawned without copying the launcher's memory, so a click on
// "実行" reaches the program several milliseconds sooner. The launcher reaps
// the program when it ends, so no zombie stays behind, and does nothing else
// with it: the program outlives the launcher.
bool spawnDetached(const QByteArrayList& argv);
