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
    // Today's layout, where the waits follow the game instead of the clock:
    int gameLookInterval = 250;     // between two looks for the game after the request
    int gameStartDeadline = 600000; // the longest wait for Steam to start the game
    int gameLateNotice = 30000;     // without the game this long, the wait says why it may last
    int resultLookInterval = 50;    // after the game's end, between two looks for its whole result
    int waitLineStep = 1000;        // between two updates of the time shown for a wait
    // Frame times through a MangoHud that writes its log only when logging stops (0.6.8):
    // between two changes of its configuration while the game runs, each writing the log so far.
    int frameLogCut = 10000;
};
