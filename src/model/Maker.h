#pragma once

// Who makes the program, as the report, the links and the update check name it.
inline constexpr char MakerWebHost[] = "quillon.example";
// Handed to the shell without a scheme.
inline constexpr char MakerHomePage[] = "quillon.example";
// Already in HTML: the report's footer takes it as it is.
inline constexpr char MakerCopyrightNotice[] =
    "Copyright &copy; 2008 Quillon. All rights reserved.";
