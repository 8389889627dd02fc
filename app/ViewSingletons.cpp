#include "app/ViewSingletons.h"

#include "app/PasswordAccessible.h"

namespace {
Shell *providedShell = nullptr;
Lifecycle *providedLifecycle = nullptr;
} // namespace

void ViewSingletons::provide(Shell *shell, Lifecycle *lifecycle)
{
    PasswordAccessible::install(); // password fields are created with their own accessible
    providedShell = shell;
    providedLifecycle = lifecycle;
}

Shell *ViewSingletons::shell()
{
    return providedShell;
}

Lifecycle *ViewSingletons::lifecycle()
{
    return providedLifecycle;
}
