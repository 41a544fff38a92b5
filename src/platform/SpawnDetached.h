#pragma once

#include <QString>

// Starts an executable file as a program of its own: a new session, no
// arguments, the current directory and environment, the launcher's signal
// mask and ignored signals reset. Answers whether the program was started.
//
// Unlike QProcess::startDetached, which forks the whole launcher twice, the
// program is spawned without copying the launcher's memory, so a click on
// "実行" reaches the program several milliseconds sooner. The launcher reaps
// the program when it ends, so no zombie stays behind, and does nothing else
// with it: the program outlives the launcher.
bool spawnDetached(const QString& program);
