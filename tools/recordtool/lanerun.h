#ifndef RECORDTOOL_LANERUN_H
#define RECORDTOOL_LANERUN_H

// Runs the lane of set.ini in the working folder without a window, as the
// program does: it finds and polls the meter, keeps the records of the
// tests and daily checks the API starts, forwards them to the station and
// serves the API and the companion segments, until SIGINT, SIGTERM or
// SIGHUP. Prints the link's state, the records kept and the storage's and
// the API's problems, a line each. Returns the exit status: 0.
int runLane();

#endif
