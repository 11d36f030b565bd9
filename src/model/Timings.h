#pragma once

// Every wait of the program, in milliseconds. The defaults are the program's own lengths;
// only tests pass shorter ones.
struct Timings {
    int launcherEndWait = 30000; // after the launcher has ended, before looking for the game
    int gamePollInterval = 5000; // between two looks for a running game
    int beforeCollect = 1000;    // after the game has gone, before reading its result
    int afterDiagnostics = 1000; // after the diagnostics tool has ended
    int beforeRestore = 250;    // between deleting the program's script and putting the user's back
    int steamStartWait = 10000; // command line: after starting the Steam client, before the series
    int countdownStep = 1000;   // command line on a terminal: between two redraws of a wait's time
    // Frame times through a MangoHud that writes its log only when logging stops (0.6.8):
    // between two changes of its configuration while the game runs, each writing the log so far.
    int frameLogCut = 10000;
};
