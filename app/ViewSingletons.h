#pragma once

class Lifecycle;
class Shell;

// The objects the views reach as the singletons Shell (and through it ColorScheme and NowPlaying) and
// Lifecycle: the program's own, handed over before an engine loads a view. A view that reaches one not
// provided gets an error from the engine. Main thread only.
namespace ViewSingletons {
// Also installs what the views need from the accessibility layer, which must come before the first view.
void provide(Shell *shell, Lifecycle *lifecycle = nullptr);
Shell *shell();
Lifecycle *lifecycle();
} // namespace ViewSingletons
