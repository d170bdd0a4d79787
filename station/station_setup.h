// Wires the station into the program: the main timer's tick runs the station
// cycle and the last start-up step runs the board search, both over the real
// serial port. --simulate puts the built-in board on a pseudo-terminal first.
#pragma once

class StationCycle;

// Sets prog().stationCycle and prog().boardSearch.
void installStation();
// Starts the board simulator and points the port at it (prog().serialDeviceOverride).
// False, after telling the user, when no pseudo-terminal can be had.
bool startSimulator();
// The installed cycle (for the setup procedure's window restart); null before installStation().
StationCycle *stationCycle();
