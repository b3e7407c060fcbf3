#pragma once

namespace tarn::loopback {

// True when something on this machine accepts TCP connections on `port`, at 127.0.0.1 or ::1.
// Blocks for at most a few milliseconds: a loopback connection is answered or refused at once.
bool portAnswers(int port);

}  // namespace tarn::loopback
