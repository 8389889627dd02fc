#pragma once

// The program's deliberate waits: background operations pause for a second or two so that the overlay's texts
// stay readable, and overlays stay up for a minimum time. Tests run them at another pace (0: no waiting), so
// the suite never sleeps through them.
namespace Pacing {

// Blocks the calling thread (never the main thread) for `seconds` at the current pace.
void pause(double seconds);
// `seconds` at the current pace, in whole milliseconds, rounded up so that a wait is never cut short.
int milliseconds(double seconds);

// 1 in the program; tests set 0 (or a small factor when the order of timed events matters).
void setScale(double scale);
double scale();

} // namespace Pacing
