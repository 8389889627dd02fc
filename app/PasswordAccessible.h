#pragma once

// What a screen reader may read of a password field. Qt Quick's own accessibility hands any client (Orca, or
// any program on the accessibility bus) the field's real text, and drops its name, even with
// Accessible.passwordEdit set. Installed once before the window loads, this gives every text input that hides
// what is typed (TextInput/TextField with a password echo mode) an accessible of its own: named by its
// Accessible.name (else its placeholder), a password text to screen readers, whose text is one bullet per
// character.
//
// Use: PasswordAccessible::install(); before the QML engine loads the window. Main thread only.
namespace PasswordAccessible {
void install();
}
