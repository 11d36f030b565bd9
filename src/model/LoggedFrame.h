#pragma once

// One logged frame, kept small: a million frames fit in 8 MB.
struct LoggedFrame {
    float Ms = 0;        // the frame's time in milliseconds
    float AtSeconds = 0; // when the frame ended, in seconds since logging started
};
