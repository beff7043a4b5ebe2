#pragma once
// Keyloupe's licence as the programs state it: the About box, the licences dialog, and the --version
// of keyloupe and keyloupe-jet. The full text is LICENSE; the package's copyright file says the same.

// One line for the About box and the licences dialog.
inline constexpr const char* KeyloupeLicenceLine =
    "Keyloupe is free software under the GNU General Public License, version 3 or (at your option) any "
    "later version (GPL-3.0-or-later), and comes with NO WARRANTY.";

// The lines --version prints after the program's name and version.
inline constexpr const char* KeyloupeVersionNotice =
    "Copyright (C) 2026 Keyloupe Software\n"
    "Licence: GPL-3.0-or-later (GNU General Public License version 3 or later,\n"
    "<https://www.gnu.org/licenses/gpl-3.0.html>). This is free software: you may change and share it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";
