#pragma once

// Everything the program does after its QApplication exists: shows the splash, which
// makes the main window. A test starts the program exactly as a user does.
void startProgram();
