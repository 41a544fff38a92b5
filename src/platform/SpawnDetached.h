#pragma once

#include <QByteArrayList>
#include <functional>

// Starts a program of its own: argv[0] is its file name, as bytes, searched
// on PATH when it has no folder; the rest are its arguments. A new session,
// the current directory and environment, the launcher's standard input and
// outputs and no other descriptor of it, its signal mask and ignored signals
// reset. Answers whether the program was started.
//
// Unlike QProcess::startDetached, which forks the whole launcher twice, the
// program is spawned without copying the launcher's memory, so a click on
// "実行" reaches the program several milliseconds sooner. The launcher reaps
// the program when it ends, on its event loop and without waiting for it, so
// no zombie stays behind; the program outlives the launcher. failed, where
// given, is called there if the program ends with a status other than 0 or
// by a signal: for a helper such as xdg-open, that is its verdict.
bool spawnDetached(const QByteArrayList& argv, const std::function<void()>& failed = {});
