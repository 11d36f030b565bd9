#pragma once

// The numeric id of the user running the program.
unsigned currentUserId();
